// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QAction;
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

// Removes the menu's items tagged as layout or tour items and puts the
// current ones first, the one named checked ticked; choose gets the name.
void fillLayouts(QMenu* menu, const ControlRoom& room, const QString& checked,
                 const std::function<void(const QString&)>& choose);
void fillTours(QMenu* menu, const ControlRoom& room, const QString& checked,
               const std::function<void(const QString&)>& choose);

// Makes the shortcuts of menu's items work in window while its menu bar is
// hidden (full screen).
void addShortcutsTo(QWidget* window, QMenu* menu);

}  // namespace RoomMenus
