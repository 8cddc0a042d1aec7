// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QAction;
class QActionGroup;
class QObject;
class QMainWindow;
class QMenu;
class RoomScreen;
class QWidget;
struct ControlRoom;

// The menus every window offers on the control room: the layouts by name
// (Alt+1 to Alt+9 for the first nine) and the tours by name. Items are
// rebuilt whenever the layouts file changes.
namespace RoomMenus {

// A window's tour commands: Start Tour / Stop Tour (Ctrl+T), and while
// touring Pause Tour (Space), Next Step (Page Down), Previous Step (Page Up).
struct TourActions {
    QAction* toggle = nullptr;  // the caller's to connect
    QAction* pause = nullptr;
    QAction* next = nullptr;
    QAction* previous = nullptr;

    // Names and enables them for the tour state of the moment.
    void update(bool touring, bool paused, bool anyTour) const;
};
// Adds the tour commands to menu; all but toggle act on room.
TourActions addTourActions(QMenu* menu, RoomScreen* room);

// The menus every window adds to the menu bar of its interface description
// (Zorvan, Servers, Cameras, View): Edit (Undo, Redo) after Zorvan, after
// view's items the camera panel's toggle, Activity, Activity Settings… and
// Tours, then Layouts (the layouts, Save Wall as Layout…, Edit Layouts…,
// Clear Cell, Lock Layouts)
// and Window (New Window, Activity List, and Close Window where the window
// may close alone). Undo, Redo and Lock Layouts act on room and follow it. The shortcuts work while full
// screen hides the menu bar. The caller connects what acts beyond room.
struct WindowMenus {
    QMenu* edit = nullptr;
    QAction* undo = nullptr;  // Ctrl+Z, on room's layout
    QAction* redo = nullptr;  // Ctrl+Shift+Z
    QMenu* layouts = nullptr;
    QAction* saveLayout = nullptr;
    QAction* editLayouts = nullptr;
    QAction* clearCell = nullptr;
    QAction* lock = nullptr;  // Lock Layouts, a check item that locks room
    QMenu* tours = nullptr;
    TourActions tour;
    QAction* activity = nullptr;          // View > Activity, the marks on or off, on at first
    QAction* activitySettings = nullptr;  // View > Activity Settings…, the caller's to connect
    QMenu* window = nullptr;
    QAction* newWindow = nullptr;
    QAction* activityList = nullptr;  // Window > Activity List, the caller's to connect
    QAction* closeWindow = nullptr;
};
WindowMenus addWindowMenus(QMainWindow* window, QMenu* view, QAction* panel, RoomScreen* room,
                           bool closable);

// View > Cameras on Page: the counts offered (1, 4, 9, 16, 25), one
// checked at a time; choose gets the count. The group is owner's.
QActionGroup* addCamerasOnPage(QMenu* menu, QObject* owner, const std::function<void(int)>& choose);

// Removes the menu's items tagged as layout or tour items and puts the
// current ones first, the one named checked ticked; choose gets the name.
void fillLayouts(QMenu* menu, const ControlRoom& room, const QString& checked,
                 const std::function<void(const QString&)>& choose);
void fillTours(QMenu* menu, const ControlRoom& room, const QString& checked,
               const std::function<void(const QString&)>& choose);

// Enables Undo and Redo as room allows now.
void updateEdits(const WindowMenus& menus, const RoomScreen* room);

// Makes the shortcuts of menu's items work in window while its menu bar is
// hidden (full screen).
void addShortcutsTo(QWidget* window, QMenu* menu);

}  // namespace RoomMenus
