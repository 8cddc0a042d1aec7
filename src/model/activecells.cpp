// SPDX-License-Identifier: GPL-3.0-or-later
#include "activecells.h"

#include <algorithm>
#include <set>
#include <tuple>

ActiveCells::ActiveCells(std::vector<QString> defaults, std::int64_t holdMs)
    : defaults_(std::move(defaults)),
      cells_(defaults_),
      changedMs_(defaults_.size(), std::numeric_limits<std::int64_t>::min() / 2),
      holdMs_(std::max<std::int64_t>(holdMs, 0)) {}

void ActiveCells::setActive(const QString& key, bool active, std::int64_t nowMs) {
    if (key.isEmpty()) return;
    Camera& c = cameras_[key];
    if (active && !c.active) c.sinceMs = nowMs;
    if (active || c.active) c.lastMs = nowMs;
    c.active = active;
}

bool ActiveCells::update(std::int64_t nowMs) {
    const auto recency = [&](const Camera& c) { return c.active ? nowMs : c.lastMs; };
    // The cameras wanted on screen, most recent first; as many as there
    // are cells get one.
    std::vector<std::map<QString, Camera>::const_iterator> ranked;
    for (auto it = cameras_.cbegin(); it != cameras_.cend(); ++it)
        if (wanted(it->second, nowMs)) ranked.push_back(it);
    std::sort(ranked.begin(), ranked.end(), [&](auto a, auto b) {
        return std::tuple(a->second.active, recency(a->second), a->second.sinceMs, b->first) >
               std::tuple(b->second.active, recency(b->second), b->second.sinceMs, a->first);
    });
    if (ranked.size() > cells_.size()) ranked.resize(cells_.size());
    std::set<QString> chosen;
    for (auto it : ranked) chosen.insert(it->first);

    // Cells whose camera is chosen keep it; the others are free, the one
    // quiet the longest first.
    std::vector<QString> target = cells_;
    std::set<QString> shown;
    std::vector<int> free;
    for (int i = 0; i < std::ssize(cells_); ++i) {
        if (chosen.count(cells_[i]))
            shown.insert(cells_[i]);
        else
            free.push_back(i);
    }
    const auto quietSince = [&](int cell) {
        if (cells_[cell].isEmpty()) return std::numeric_limits<std::int64_t>::min();
        if (cells_[cell] == defaults_[cell]) return std::numeric_limits<std::int64_t>::min() + 1;
        const auto it = cameras_.find(cells_[cell]);
        return it == cameras_.end() ? std::numeric_limits<std::int64_t>::min()
                                    : recency(it->second);
    };
    // A cell that may change now goes before one that changed too lately.
    const auto locked = [&](int cell) { return nowMs < changedMs_[cell] + kMinChangeMs; };
    std::stable_sort(free.begin(), free.end(), [&](int a, int b) {
        return std::pair(locked(a), quietSince(a)) < std::pair(locked(b), quietSince(b));
    });
    for (auto it : ranked) {
        if (shown.count(it->first) || free.empty()) continue;
        auto cell = std::find_if(free.begin(), free.end(),
                                 [&](int c) { return defaults_[c] == it->first; });
        if (cell == free.end()) cell = free.begin();
        target[*cell] = it->first;
        free.erase(cell);
    }
    for (const int cell : free) target[cell] = defaults_[cell];

    // Each change as soon as its cell may change again.
    bool changed = false;
    wakeMs_ = kNever;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (target[i] == cells_[i]) continue;
        const std::int64_t allowed = changedMs_[i] + kMinChangeMs;
        if (nowMs < allowed) {
            wakeMs_ = std::min(wakeMs_, allowed);
            continue;
        }
        cells_[i] = target[i];
        changedMs_[i] = nowMs;
        changed = true;
    }
    for (const auto& [key, c] : cameras_)
        if (!c.active && wanted(c, nowMs)) wakeMs_ = std::min(wakeMs_, c.lastMs + holdMs_);
    return changed;
}
