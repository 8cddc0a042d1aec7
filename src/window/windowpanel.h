// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include "layout.h"

class CameraPanel;
class ControlRoomHub;
class QAction;
class QDockWidget;
class QMainWindow;

// A window's camera panel (View > Cameras Panel, F9): every server with its
// cameras, docked at the window's left, hidden until asked for. While shown
// every server's lists are loaded in the background for it, and it follows
// each change of them. Main thread only.
class WindowPanel : public QObject {
    Q_OBJECT

public:
    // Docks itself in window; adds its toggle to the end of the menu given.
    WindowPanel(QMainWindow* window, ControlRoomHub* hub);

    QAction* action() const { return action_; }
    CameraPanel* panel() const { return panel_; }
    void setShown(bool on);
    bool isShown() const;

signals:
    // A camera row was opened (double click, Enter).
    void cameraActivated(const CameraRef& ref);

private:
    void refresh();

    QMainWindow* window_;
    ControlRoomHub* hub_;
    QDockWidget* dock_;   // owned by the window
    CameraPanel* panel_;  // owned by the dock
    QAction* action_;     // owned by the window
};
