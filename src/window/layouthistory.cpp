// SPDX-License-Identifier: GPL-3.0-or-later
#include "layouthistory.h"

#include <algorithm>

bool LayoutHistory::sameCells(const Layout& a, const Layout& b) {
    Layout x = a, y = b;
    x.name.clear();
    y.name.clear();
    return x == y;
}

void LayoutHistory::record(const Layout& before, const Layout& after) {
    if (sameCells(before, after)) return;
    Steps& steps = layouts_[after.name];
    steps.undone.clear();
    steps.done.push_back({before, after});
    while (steps.done.size() > kSteps) steps.done.pop_front();
}

std::optional<Layout> LayoutHistory::step(const Layout& current, bool back) {
    const auto it = layouts_.find(current.name);
    if (it == layouts_.end()) return std::nullopt;
    Steps& steps = it->second;
    const bool any = back ? !steps.done.empty() : !steps.undone.empty();
    if (!any) return std::nullopt;
    const Step last = back ? steps.done.back() : steps.undone.back();
    if (!sameCells(back ? last.after : last.before, current)) {
        layouts_.erase(it);  // changed meanwhile, out of this window's sight
        return std::nullopt;
    }
    if (back) {
        steps.done.pop_back();
        steps.undone.push_back(last);
    } else {
        steps.undone.pop_back();
        steps.done.push_back(last);
    }
    Layout put = back ? last.before : last.after;
    put.name = current.name;
    return put;
}

std::optional<Layout> LayoutHistory::undo(const Layout& current) {
    return step(current, true);
}

std::optional<Layout> LayoutHistory::redo(const Layout& current) {
    return step(current, false);
}

bool LayoutHistory::canUndo(const QString& name) const {
    const auto it = layouts_.find(name);
    return it != layouts_.end() && !it->second.done.empty();
}

bool LayoutHistory::canRedo(const QString& name) const {
    const auto it = layouts_.find(name);
    return it != layouts_.end() && !it->second.undone.empty();
}

void LayoutHistory::rename(const std::map<QString, QString>& renames) {
    std::map<QString, Steps> renamed;
    for (auto& [name, steps] : layouts_) {
        const auto it = renames.find(name);
        renamed[it != renames.end() ? it->second : name] = std::move(steps);
    }
    layouts_ = std::move(renamed);
}

void LayoutHistory::keepOnly(const std::vector<Layout>& layouts) {
    std::erase_if(layouts_, [&](const auto& entry) {
        return std::none_of(layouts.begin(), layouts.end(),
                            [&](const Layout& l) { return l.name == entry.first; });
    });
}
