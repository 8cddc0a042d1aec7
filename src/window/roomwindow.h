// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

#include "layout.h"
#include "layoutmode.h"
#include "roommenus.h"

class ControlRoomHub;
class PointerHider;
class QMenu;
class RoomScreen;

// Another main window of the same viewer (Window > New Window): a layout, a
// tour, a server's wall or one camera, with its own full screen, on any
// screen. It shares the layouts and the servers' lists with every other
// window through the hub. Main thread only.
class RoomWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit RoomWindow(ControlRoomHub* hub, QWidget* parent = nullptr);
    ~RoomWindow() override;

    RoomScreen* screenView() const { return room_; }
    // Shows what state says, where it says.
    void apply(const WindowState& state);
    // What it shows and where, for the layouts file.
    WindowState state() const;

    void setFullScreen(bool on);
    bool isFullScreenOn() const { return fullScreen_; }

signals:
    void newWindowRequested();
    void closed(RoomWindow* window);
    // What it shows changed (for the layouts file).
    void stateChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A window asks for pictures from the moment it is shown: without a
    // window manager no state change comes with the first show.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rebuildMenus();
    void updateTitle();
    void updateResting();

    ControlRoomHub* hub_;
    RoomScreen* room_;  // the central widget
    QMenu* layoutsMenu_ = nullptr;
    QMenu* toursMenu_ = nullptr;
    QMenu* wallsMenu_ = nullptr;
    RoomMenus::TourActions tours_;  // owned by the tours menu
    QAction* fullScreenAction_ = nullptr;
    QString lastTour_;
    // A camera opened out of a layout: Escape goes back to this.
    std::optional<WindowState> before_;
    bool fullScreen_ = false;
    QRect frameBeforeFullScreen_;
};
