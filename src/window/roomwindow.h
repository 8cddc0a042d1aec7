// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "zvmainwindow.h"

#include <memory>
#include <optional>

#include "layout.h"
#include "layoutmode.h"
#include "roommenus.h"

class QActionGroup;
class QSlider;
class RoomScreen;
class SoundStatusLine;
class TouchImage;
class ViewerHost;
class WindowPanel;
class WindowRewind;

// Another window of the same viewer (Window > New Window), a whole viewer of
// its own: the main window's menu bar and keys, and any of what a window
// shows (one camera of any server, a server's wall, a layout, a tour), with
// its own full screen, camera panel, zoom, Save Picture and context menu, on
// any screen. What there is one of per viewer (the server list, the layouts,
// the servers' lists, the sound) it reaches through the host. Main thread
// only.
class RoomWindow : public ZVMainWindow {
    Q_OBJECT

public:
    explicit RoomWindow(ViewerHost* host, QWidget* parent = nullptr);
    ~RoomWindow() override;

    RoomScreen* screenView() const { return room_; }
    WindowPanel* panel() const { return panel_; }
    // Shows what state says, where it says.
    void apply(const WindowState& state);
    // What it shows and where, for the layouts file.
    WindowState state() const;

    void setFullScreen(bool on);
    bool isFullScreenOn() const { return fullScreen_; }

    void soundTaken() override;
    void resumeSound() override;

signals:
    void closed(RoomWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A window asks for pictures from the moment it is shown: without a
    // window manager no state change comes with the first show.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // roomwindow_commands.cpp: the menus' commands.
    void connectCommands();
    void rebuildMenus();
    void fillServersMenu();
    void fillCamerasMenu();
    void updateActions();
    // The server the Cameras menu and the view commands act on: the one
    // whose wall or camera is shown, or in a layout the selected cell's.
    std::shared_ptr<CamServer> shownServer() const;
    // Shows server as its own view: its wall, or one of its cameras.
    void showServer(const std::shared_ptr<CamServer>& server);
    // Shows camera k of server alone; Escape goes back to what was shown.
    void showCameraAlone(const std::shared_ptr<CamServer>& server, std::int64_t k);
    void setWallShown(bool on);
    void turnPage(bool forward);
    void setCamerasOnPage(int n);
    // The selected cell's picture view; none without one.
    TouchImage* pictureToSave() const;
    void listen(bool on);
    void followSound();
    void updateTitle();
    void updateResting();

    ViewerHost* host_;
    Ui::ZVMainWindow* ui_;  // the menu bar's items, as the main window has them
    RoomScreen* room_;      // the central widget
    WindowRewind* rewind_ = nullptr;  // child: going back in time
    WindowPanel* panel_;
    QActionGroup* camerasOnPage_ = nullptr;
    QSlider* volume_ = nullptr;  // in the sound menu
    SoundStatusLine* soundStatus_ = nullptr;
    QAction* liveFigures_ = nullptr;
    QString lastTour_;
    // A camera opened out of a layout or wall: Escape goes back to this.
    std::optional<WindowState> before_;
    // The camera heard, while this window has the sound.
    LayoutMode::Camera heard_;
    bool fullScreen_ = false;
    QRect frameBeforeFullScreen_;
};
