// SPDX-License-Identifier: GPL-3.0-or-later
#include "tourschedule.h"

#include <algorithm>

#include "layout.h"

TourSchedule::TourSchedule(std::vector<std::int64_t> dwellNs, std::int64_t pauseNs,
                           std::int64_t prefetchLeadNs)
    : dwellNs_(std::move(dwellNs)),
      pauseNs_(std::max<std::int64_t>(pauseNs, 0)),
      prefetchLeadNs_(std::max<std::int64_t>(prefetchLeadNs, 0)) {
    // A step of no time would make the tour spin on one deadline.
    for (std::int64_t& d : dwellNs_) d = std::max<std::int64_t>(d, 1);
}

TourSchedule TourSchedule::forTour(const Tour& tour, std::int64_t prefetchLeadNs) {
    std::vector<std::int64_t> dwell;
    for (const TourStep& step : tour.steps) dwell.push_back(step.dwellSeconds * kSecondNs);
    return TourSchedule(std::move(dwell), tour.pauseSeconds * kSecondNs, prefetchLeadNs);
}

void TourSchedule::start(std::int64_t nowNs, std::size_t first) {
    started_ = true;
    current_ = dwellNs_.empty() ? 0 : std::min(first, dwellNs_.size() - 1);
    stepStartNs_ = nowNs;
    prefetched_ = false;
    staying_ = false;
    pausedByPerson_ = pausedByInput_ = false;
}

std::int64_t TourSchedule::wakeNs() const {
    if (!started_ || pausedByPerson_) return kNever;
    if (pausedByInput_) return resumeAtNs();
    if (!switches()) return kNever;
    if (!prefetched_) return std::max(stepStartNs_, deadlineNs() - prefetchLeadNs_);
    if (staying_) return std::min(checkNs_, deadlineNs());
    return deadlineNs();
}

std::optional<TourSchedule::Event> TourSchedule::poll(std::int64_t nowNs) {
    // Each turn either returns an event, moves a deadline on by a whole
    // dwell or puts the next question of an active step past nowNs, so the
    // loop ends.
    for (;;) {
        const std::int64_t due = wakeNs();
        if (due == kNever || due > nowNs) return std::nullopt;
        if (pausedByInput_) {
            endPause(due);
            return Event{Event::Kind::Resumed, current_, due};
        }
        if (!prefetched_) {
            prefetched_ = true;
            const std::size_t coming = liveStep(+1);
            // Pointless when the switch is already due too (a late wake),
            // or when no other step is alive.
            if (nowNs < deadlineNs() && coming != current_)
                return Event{Event::Kind::Prefetch, coming, due};
            continue;
        }
        // An active step stays on, asked again shortly, until its second
        // dwell is over. The question is of the present, so a late wake
        // asks once.
        const bool mayStay = !staying_ || due < deadlineNs();
        if (active_ && mayStay && active_(current_)) {
            staying_ = true;
            checkNs_ = nowNs + kActiveCheckNs;
            continue;
        }
        const std::size_t coming = liveStep(+1);
        const bool moves = coming != current_;
        stepStartNs_ = due;  // the grid, not the time the caller came
        prefetched_ = false;
        staying_ = false;
        current_ = coming;
        if (moves) return Event{Event::Kind::Switch, coming, due};
        // All other steps are dead: stay, and ask again at the next deadline.
    }
}

void TourSchedule::beginPause(std::int64_t nowNs) {
    if (!paused()) pausedSinceNs_ = nowNs;
}

void TourSchedule::endPause(std::int64_t atNs) {
    if (!paused()) return;
    // The step keeps what was left of its dwell when the pause began.
    stepStartNs_ += std::max<std::int64_t>(atNs - pausedSinceNs_, 0);
    pausedByPerson_ = pausedByInput_ = false;
}

void TourSchedule::pause(std::int64_t nowNs) {
    if (!started_) return;
    beginPause(nowNs);
    pausedByPerson_ = true;
}

void TourSchedule::resume(std::int64_t nowNs) {
    // A pause after input that has run out ended at its own time.
    if (pausedByInput_ && !pausedByPerson_) nowNs = std::min(nowNs, resumeAtNs());
    endPause(nowNs);
}

void TourSchedule::input(std::int64_t nowNs) {
    if (!started_ || pausedByPerson_) return;
    if (pausedByInput_ && nowNs >= resumeAtNs()) endPause(resumeAtNs());  // not polled yet
    beginPause(nowNs);
    pausedByInput_ = true;
    lastInputNs_ = nowNs;
}

std::size_t TourSchedule::liveStep(int direction) const {
    const std::size_t n = dwellNs_.size();
    for (std::size_t i = 1; i < n; ++i) {
        const std::size_t step = direction > 0 ? (current_ + i) % n : (current_ + n - i) % n;
        if (!dead_ || !dead_(step)) return step;
    }
    return current_;
}

std::size_t TourSchedule::stepTo(std::size_t step, std::int64_t nowNs) {
    current_ = step;
    stepStartNs_ = nowNs;
    prefetched_ = false;
    staying_ = false;
    // Paused, the step's whole dwell is left for when the pause ends.
    if (paused()) pausedSinceNs_ = nowNs;
    return current_;
}

std::size_t TourSchedule::next(std::int64_t nowNs) {
    return stepTo(liveStep(+1), nowNs);
}

std::size_t TourSchedule::previous(std::int64_t nowNs) {
    return stepTo(liveStep(-1), nowNs);
}
