// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The editing rules of the control room's layouts and tours, over a
// ControlRoom value, so that the editor's widgets only show and ask: names
// stay unique and not empty, a layout's rename or removal reaches the tour
// steps and windows that name it, and entries move within their list.
// Indices outside their list change nothing.

#include <QString>

#include <map>

#include "layout.h"

namespace roomedits {

enum class NameCheck { Ok, Empty, Taken };

// The layouts and tours an editing gave another name, each by its name
// before to its name after, so that a window showing one follows it.
struct Renames {
    std::map<QString, QString> layouts;
    std::map<QString, QString> tours;
    bool empty() const { return layouts.empty() && tours.empty(); }
};

// What a new name would be refused for; the entry at `self` (its own
// current name) does not count as taken. Names are compared as written,
// after trimming the spaces around them.
NameCheck checkLayoutName(const ControlRoom& room, const QString& name, int self = -1);
NameCheck checkTourName(const ControlRoom& room, const QString& name, int self = -1);

// wanted when no layout (tour) has it, else "wanted 2", "wanted 3", ...:
// the first of them that is free. An empty wanted counts as "1".
QString freeLayoutName(const ControlRoom& room, const QString& wanted);
QString freeTourName(const ControlRoom& room, const QString& wanted);

// Adds a layout (tour) named freeLayoutName(wanted) at the end; its index.
int addLayout(ControlRoom& room, const QString& wanted);
int addTour(ControlRoom& room, const QString& wanted);

// A copy of entry `index`, named freeLayoutName(wanted), right after it;
// its index, or -1.
int duplicateLayout(ControlRoom& room, int index, const QString& wanted);
int duplicateTour(ControlRoom& room, int index, const QString& wanted);

// Renames when checkLayoutName() allows the trimmed name; the tour steps
// and windows that showed the layout by its old name then name it by the
// new one (windows that showed the tour, for a tour).
NameCheck renameLayout(ControlRoom& room, int index, const QString& name);
NameCheck renameTour(ControlRoom& room, int index, const QString& name);

// Removes the layout and every tour step that shows it. Windows keep their
// state: the window shows what is left, as for any layout gone missing.
void removeLayout(ControlRoom& room, int index);
void removeTour(ControlRoom& room, int index);

// Moves an entry one place up (-1) or down (+1) its list; its new index,
// or `index` itself when it cannot move.
int moveLayout(ControlRoom& room, int index, int by);
int moveTour(ControlRoom& room, int index, int by);
int moveStep(Tour& tour, int index, int by);

}  // namespace roomedits
