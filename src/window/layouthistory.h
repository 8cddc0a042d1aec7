// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "layout.h"

// What a window saw change in its layouts' cells (a drop, a swap, a clear,
// a join or split, a new grid), to take back and redo: per layout, by its
// name (following renames), each step the layout before and after. A new
// change after undoing drops what could be redone. A layout changed while
// the window did not watch it (so that it no longer is what the last step
// left) has its history forgotten: taking back a step then would undo
// someone else's change too. Pure logic.
class LayoutHistory {
public:
    static constexpr std::size_t kSteps = 100;  // per layout; the oldest go first

    // after replaced before (after.name is the layout's name now); nothing
    // when its cells stayed as they were.
    void record(const Layout& before, const Layout& after);
    // The layout to put back for an undo (or redo) of the layout now as
    // current; none when there is nothing to take back, or the history no
    // longer fits current (then it is forgotten). The returned layout has
    // current's name.
    std::optional<Layout> undo(const Layout& current);
    std::optional<Layout> redo(const Layout& current);
    bool canUndo(const QString& name) const;
    bool canRedo(const QString& name) const;
    // Layouts renamed (old name to new) and those left: the others' history goes.
    void rename(const std::map<QString, QString>& renames);
    void keepOnly(const std::vector<Layout>& layouts);

    // Whether two layouts draw the same cells, whatever their names.
    static bool sameCells(const Layout& a, const Layout& b);

private:
    struct Step {
        Layout before, after;
    };
    struct Steps {
        std::deque<Step> done;
        std::vector<Step> undone;
    };
    std::optional<Layout> step(const Layout& current, bool back);

    std::map<QString, Steps> layouts_;
};
