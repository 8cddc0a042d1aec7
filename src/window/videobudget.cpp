// SPDX-License-Identifier: GPL-3.0-or-later
#include "videobudget.h"

#include <QSettings>

#include <algorithm>
#include <tuple>

namespace {
const char* const kLimitKey = "video/decodesAtOnce";
}

VideoBudget::VideoBudget(QObject* parent) : QObject(parent), limit_(storedLimit()) {}

int VideoBudget::storedLimit() {
    bool ok = false;
    const int n = QSettings().value(kLimitKey, kDefaultLimit).toInt(&ok);
    return ok ? std::clamp(n, 0, kMaxLimit) : kDefaultLimit;
}

void VideoBudget::setLimit(int limit) {
    limit_ = std::clamp(limit, 0, kMaxLimit);
    QSettings().setValue(kLimitKey, limit_);
    share();
}

void VideoBudget::offer(const void* asker, std::vector<Candidate> candidates) {
    if (candidates.empty()) {
        askers_.erase(asker);
    } else {
        auto [it, added] = askers_.try_emplace(asker);
        if (added) it->second.order = nextOrder_++;
        it->second.candidates = std::move(candidates);
    }
    share();
}

std::set<int> VideoBudget::granted(const void* asker) const {
    const auto it = granted_.find(asker);
    return it != granted_.end() ? it->second : std::set<int>{};
}

void VideoBudget::share() {
    struct Entry {
        std::int64_t area;
        std::uint64_t order;
        int cell;
        const void* asker;
    };
    std::vector<Entry> all;
    for (const auto& [asker, a] : askers_)
        for (const Candidate& c : a.candidates) all.push_back({c.area, a.order, c.cell, asker});
    std::sort(all.begin(), all.end(), [](const Entry& x, const Entry& y) {
        return std::tuple(-x.area, x.order, x.cell) < std::tuple(-y.area, y.order, y.cell);
    });
    std::map<const void*, std::set<int>> granted;
    for (std::size_t i = 0; i < all.size() && i < static_cast<std::size_t>(limit_); ++i)
        granted[all[i].asker].insert(all[i].cell);
    if (granted == granted_) return;
    granted_ = std::move(granted);
    emit changed();
}
