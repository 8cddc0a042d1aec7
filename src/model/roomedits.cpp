// SPDX-License-Identifier: GPL-3.0-or-later
#include "roomedits.h"

#include <algorithm>

namespace roomedits {

namespace {

bool inside(const auto& list, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

template <typename T>
NameCheck check(const std::vector<T>& list, const QString& name, int self) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) return NameCheck::Empty;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (static_cast<int>(i) != self && list[i].name == trimmed) return NameCheck::Taken;
    return NameCheck::Ok;
}

template <typename T>
QString freeName(const std::vector<T>& list, const QString& wanted) {
    const QString base = wanted.trimmed().isEmpty() ? QStringLiteral("1") : wanted.trimmed();
    const auto taken = [&](const QString& name) {
        return std::any_of(list.begin(), list.end(), [&](const T& e) { return e.name == name; });
    };
    if (!taken(base)) return base;
    for (int n = 2;; ++n)
        if (const QString name = base + QLatin1Char(' ') + QString::number(n); !taken(name))
            return name;
}

template <typename T>
int duplicate(std::vector<T>& list, int index, const QString& wanted) {
    if (!inside(list, index)) return -1;
    T copy = list[static_cast<std::size_t>(index)];
    copy.name = freeName(list, wanted);
    list.insert(list.begin() + index + 1, std::move(copy));
    return index + 1;
}

template <typename T>
int move(std::vector<T>& list, int index, int by) {
    const int to = index + by;
    if (!inside(list, index) || !inside(list, to)) return index;
    std::swap(list[static_cast<std::size_t>(index)], list[static_cast<std::size_t>(to)]);
    return to;
}

// Renames windows that show `shows` named from, and returns the check.
template <typename T>
NameCheck rename(ControlRoom& room, std::vector<T>& list, int index, const QString& name,
                 WindowState::Shows shows, QString* oldName) {
    if (!inside(list, index)) return NameCheck::Empty;
    const NameCheck result = check(list, name, index);
    if (result != NameCheck::Ok) return result;
    T& entry = list[static_cast<std::size_t>(index)];
    *oldName = entry.name;
    entry.name = name.trimmed();
    for (WindowState& w : room.windows)
        if (w.shows == shows && w.name == *oldName) w.name = entry.name;
    return NameCheck::Ok;
}

}  // namespace

NameCheck checkLayoutName(const ControlRoom& room, const QString& name, int self) {
    return check(room.layouts, name, self);
}

NameCheck checkTourName(const ControlRoom& room, const QString& name, int self) {
    return check(room.tours, name, self);
}

QString freeLayoutName(const ControlRoom& room, const QString& wanted) {
    return freeName(room.layouts, wanted);
}

QString freeTourName(const ControlRoom& room, const QString& wanted) {
    return freeName(room.tours, wanted);
}

int addLayout(ControlRoom& room, const QString& wanted) {
    Layout layout;
    layout.name = freeLayoutName(room, wanted);
    room.layouts.push_back(std::move(layout));
    return static_cast<int>(room.layouts.size()) - 1;
}

int addTour(ControlRoom& room, const QString& wanted) {
    Tour tour;
    tour.name = freeTourName(room, wanted);
    room.tours.push_back(std::move(tour));
    return static_cast<int>(room.tours.size()) - 1;
}

int duplicateLayout(ControlRoom& room, int index, const QString& wanted) {
    return duplicate(room.layouts, index, wanted);
}

int duplicateTour(ControlRoom& room, int index, const QString& wanted) {
    return duplicate(room.tours, index, wanted);
}

NameCheck renameLayout(ControlRoom& room, int index, const QString& name) {
    QString old;
    const NameCheck result =
        rename(room, room.layouts, index, name, WindowState::Shows::Layout, &old);
    if (result != NameCheck::Ok) return result;
    for (Tour& tour : room.tours)
        for (TourStep& step : tour.steps)
            if (step.kind == TourStep::Kind::Layout && step.layoutName == old)
                step.layoutName = room.layouts[static_cast<std::size_t>(index)].name;
    return result;
}

NameCheck renameTour(ControlRoom& room, int index, const QString& name) {
    QString old;
    return rename(room, room.tours, index, name, WindowState::Shows::Tour, &old);
}

void removeLayout(ControlRoom& room, int index) {
    if (!inside(room.layouts, index)) return;
    const QString name = room.layouts[static_cast<std::size_t>(index)].name;
    room.layouts.erase(room.layouts.begin() + index);
    for (Tour& tour : room.tours)
        std::erase_if(tour.steps, [&](const TourStep& step) {
            return step.kind == TourStep::Kind::Layout && step.layoutName == name;
        });
}

void removeTour(ControlRoom& room, int index) {
    if (inside(room.tours, index)) room.tours.erase(room.tours.begin() + index);
}

int moveLayout(ControlRoom& room, int index, int by) {
    return move(room.layouts, index, by);
}

int moveTour(ControlRoom& room, int index, int by) {
    return move(room.tours, index, by);
}

int moveStep(Tour& tour, int index, int by) {
    return move(tour.steps, index, by);
}

}  // namespace roomedits
