// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// When the live picture's next request may leave: requests keep to a grid of
// one period per picture, so over any stretch of time the configured rate is
// never exceeded, whatever the timer's granularity; a request that could not
// leave on its slot (the previous picture was late) goes as soon as it can
// and the grid starts again from there, so a slow server gets no burst.
// While pictures keep failing (two or more in a row), requests back off,
// doubling the pause up to one request every four seconds.
//
// Times are nanoseconds on a monotonic clock; the caller passes the clock's
// reading, which lets tests drive it.
class RefreshSchedule {
public:
    static constexpr std::int64_t kMaxBackoffNs = 4'000'000'000;
    static constexpr std::int64_t kFirstBackoffNs = 250'000'000;

    explicit RefreshSchedule(int ratePerSecond = 8);

    // The first request may leave at once.
    void start(std::int64_t nowNs);
    // How long until a request may leave: 0 when it may leave now.
    std::int64_t waitNs(std::int64_t nowNs) const;
    // A request left now.
    void requested(std::int64_t nowNs);
    // Its answer came: a picture, or none (an error, no answer, no image).
    void answered(bool gotPicture);

    std::int64_t periodNs() const { return periodNs_; }

    // The monotonic clock the viewer's refreshes read, in nanoseconds.
    static std::int64_t nowNs();
    // A wait as a timer's whole milliseconds, rounded up, so that no
    // request leaves before its slot.
    static int timerMs(std::int64_t waitNs);
    int failures() const { return failures_; }

private:
    std::int64_t periodNs_;
    std::int64_t nextNs_ = 0;         // the earliest time the next request may leave
    std::int64_t lastRequestNs_ = 0;  // when the last request left
    int failures_ = 0;                // answers without a picture in a row
};
