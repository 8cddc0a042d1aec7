// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

#include <memory>

#include "roommenus.h"

namespace Ui {
class ZVMainWindow;
}

// A window of the viewer and its controller, laid out by its interface
// description: the picture filling it and the menu bar. Each window is a
// whole viewer with its own state: the first one (FirstWindow) shows what
// the settings file keeps and its closing quits the viewer; any other
// (RoomWindow) puts its screen in the picture's place and is kept in the
// layouts file. What there is one of per viewer they reach through their
// host (ViewerHost).
class ZVMainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ZVMainWindow(QWidget* parent = nullptr);
    ~ZVMainWindow() override;

    Ui::ZVMainWindow& ui() { return *ui_; }
    // Zorvan > Preferences… (under Edit Server List…), for the window to connect.
    QAction* preferencesAction() const { return preferences_; }
    // The menus every window adds to its interface description's.
    const RoomMenus::WindowMenus& menus() const { return menus_; }
    // Layouts > Lock Layouts: while on, this window changes no layout's cells.
    void setLayoutsLocked(bool on);
    bool layoutsLocked() const;

    // Listen in another window took the sound: this one's toggle goes off.
    virtual void soundTaken() = 0;
    // The server list closed after holding the heard camera's server: the
    // sound starts again if Listen is still on.
    virtual void resumeSound() = 0;

signals:
    // What it shows, or where, changed (for the layouts file).
    void stateChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

    RoomMenus::WindowMenus menus_;  // made by the window, once its screen is

private:
    std::unique_ptr<Ui::ZVMainWindow> ui_;
    QAction* preferences_;
};
