// SPDX-License-Identifier: GPL-3.0-or-later
// A window's changes of the layout it shows: a camera dropped into a cell,
// two cells swapped, a cell cleared, and their undo and redo; refused while
// the window's layouts are locked.

#include "roomscreen.h"

#include "camerawall.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "touchimage.h"
#include "touchview.h"
#include "zvtexts.h"

QString RoomScreen::lockedText() {
    return zvText("The layout is locked. Layouts ▸ Lock Layouts unlocks it.");
}

void RoomScreen::setLocked(bool locked) {
    locked_ = locked;
}

bool RoomScreen::refusedWhileLocked(int cell) {
    if (!locked_) return false;
    CameraWall* wall = front().wall;
    if (wall->cellCount() > 0)
        wall->cell(cell >= 0 && cell < wall->cellCount() ? cell : 0)
            ->imageView()
            ->showNote(lockedText());
    return true;
}

void RoomScreen::setCell(int cell, std::optional<CameraRef> camera) {
    if (shows_ != Shows::Layout || refusedWhileLocked(cell)) return;
    const QString name = name_;
    hub_->edit([&](ControlRoom& room) {
        for (Layout& layout : room.layouts) {
            if (layout.name != name) continue;
            if (cell >= 0 && cell < static_cast<int>(layout.cells.size()))
                layout.cells[static_cast<size_t>(cell)] = std::move(camera);
        }
    });
}

void RoomScreen::swapCells(int from, int to) {
    if (shows_ != Shows::Layout || from == to || refusedWhileLocked(to)) return;
    const QString name = name_;
    hub_->edit([&](ControlRoom& room) {
        for (Layout& layout : room.layouts) {
            const auto n = static_cast<int>(layout.cells.size());
            if (layout.name != name || from < 0 || to < 0 || from >= n || to >= n) continue;
            std::swap(layout.cells[static_cast<size_t>(from)],
                      layout.cells[static_cast<size_t>(to)]);
        }
    });
    front().mode->setSelected(to);
}

bool RoomScreen::canUndo() const {
    return shows_ == Shows::Layout && history_.canUndo(name_);
}

bool RoomScreen::canRedo() const {
    return shows_ == Shows::Layout && history_.canRedo(name_);
}

bool RoomScreen::undo() {
    return stepHistory(true);
}

bool RoomScreen::redo() {
    return stepHistory(false);
}

bool RoomScreen::stepHistory(bool back) {
    if (shows_ != Shows::Layout || !(back ? canUndo() : canRedo())) return false;
    if (refusedWhileLocked(front().mode->selected())) return false;
    const Layout* current = hub_->room().layout(name_);
    if (!current) return false;
    const std::optional<Layout> put = back ? history_.undo(*current) : history_.redo(*current);
    if (!put) {
        emit changed();  // the history was forgotten: Undo and Redo follow
        return false;
    }
    steppingHistory_ = true;
    hub_->edit([&](ControlRoom& room) {
        for (Layout& layout : room.layouts)
            if (layout.name == put->name) layout = *put;
    });
    steppingHistory_ = false;
    return true;
}
