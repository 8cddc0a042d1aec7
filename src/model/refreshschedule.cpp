// SPDX-License-Identifier: GPL-3.0-or-later
#include "refreshschedule.h"

#include <algorithm>
#include <chrono>
#include <climits>

RefreshSchedule::RefreshSchedule(int ratePerSecond)
    : periodNs_(1'000'000'000 / std::clamp(ratePerSecond, 1, 1000)) {}

void RefreshSchedule::start(std::int64_t nowNs) {
    nextNs_ = nowNs;
    lastRequestNs_ = nowNs;
    failures_ = 0;
}

std::int64_t RefreshSchedule::waitNs(std::int64_t nowNs) const {
    return std::max<std::int64_t>(0, nextNs_ - nowNs);
}

void RefreshSchedule::requested(std::int64_t nowNs) {
    const std::int64_t slot = nextNs_ + periodNs_;
    // Behind by a whole period or more: start the grid again from now
    // rather than catch up with a burst.
    nextNs_ = slot > nowNs ? slot : nowNs + periodNs_;
    lastRequestNs_ = nowNs;
}

void RefreshSchedule::answered(bool gotPicture) {
    if (gotPicture) {
        failures_ = 0;
        return;
    }
    // One lost picture on a busy network is no reason to slow down.
    if (++failures_ < 2) return;
    const int doublings = std::min(failures_ - 2, 8);
    const std::int64_t backoff = std::min(kMaxBackoffNs, kFirstBackoffNs << doublings);
    nextNs_ = std::max(nextNs_, lastRequestNs_ + backoff);
}

std::int64_t RefreshSchedule::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int RefreshSchedule::timerMs(std::int64_t waitNs) {
    return static_cast<int>(std::min<std::int64_t>((waitNs + 999'999) / 1'000'000, INT_MAX));
}
