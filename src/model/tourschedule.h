// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

struct Tour;

// When a tour shows which step. Each step stays for its own dwell; the
// switches are counted from the tour's start (the deadline of step k is the
// start plus the dwells of the steps shown so far plus the time spent
// paused), never from the moment the caller got round to the last switch,
// so a late timer does not make the tour drift: a tour of 10 s steps makes
// exactly 8,640 switches in 24 h.
//
// The caller owns the timer: it asks wakeNs() when to wake, and at that
// time (or any later) calls poll() until it returns nothing, doing what each
// returned event says. Shortly before each switch (prefetchLeadNs, 1 s by
// default) it is told to prefetch the coming step, so that the step's
// pictures are there when it is shown.
//
// Pauses: the person may pause and resume the tour (Space); any other input
// pauses it too, and it goes on by itself once there has been no input for
// the tour's pause time. The time a pause lasts is added to the step's
// deadline, so the step keeps the rest of its dwell.
//
// Dead steps: at each switch (and at the prefetch before it, to prefetch
// the right step) the caller's predicate tells whether a step is dead (none
// of its cameras gave a picture lately, its servers do not answer: the
// caller decides); dead steps are skipped. When every other step is dead
// the tour stays on its step and asks again at the next deadline.
//
// Active steps: when the caller gives an active-step predicate (the tour
// waits for activity), a step that is active at its deadline (one of its
// cameras moves: the caller decides) stays on while it is, asked every
// kActiveCheckNs, for at most one more dwell; then the tour goes on.
//
// Times are nanoseconds on a monotonic clock that the caller reads, which
// lets tests drive it. A tour of fewer than two steps never switches.
// Main thread, or any one thread at a time.
class TourSchedule {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    static constexpr std::int64_t kSecondNs = 1'000'000'000;
    static constexpr std::int64_t kDefaultPrefetchLeadNs = kSecondNs;
    // How often a step kept on for its activity is asked again.
    static constexpr std::int64_t kActiveCheckNs = kSecondNs;

    struct Event {
        enum class Kind {
            Prefetch,  // load step's pictures now: it comes next
            Switch,    // show step now
            Resumed,   // the pause after input is over; the tour goes on
        };
        Kind kind;
        std::size_t step;
        std::int64_t atNs;  // when it was due (not when poll() saw it)
        friend bool operator==(const Event&, const Event&) = default;
    };
    // Whether step (an index into the tour's steps) is dead now.
    using DeadStep = std::function<bool(std::size_t step)>;
    // Whether step is active now (it stays on past its dwell).
    using ActiveStep = std::function<bool(std::size_t step)>;

    TourSchedule(std::vector<std::int64_t> dwellNs, std::int64_t pauseNs,
                 std::int64_t prefetchLeadNs = kDefaultPrefetchLeadNs);
    // The schedule of a tour: its steps' dwells and its pause time.
    static TourSchedule forTour(const Tour& tour,
                                std::int64_t prefetchLeadNs = kDefaultPrefetchLeadNs);

    void setDeadStep(DeadStep dead) { dead_ = std::move(dead); }
    // None (the default): steps never stay past their dwell.
    void setActiveStep(ActiveStep active) { active_ = std::move(active); }

    // Shows step first from nowNs on (the caller shows it). Clears pauses.
    void start(std::int64_t nowNs, std::size_t first = 0);

    // When the caller should call poll() next; kNever while nothing is to
    // come (paused by the person, not started, fewer than two steps).
    std::int64_t wakeNs() const;
    // The next event due at nowNs, or none. The state moves on with each
    // event returned, so the caller calls it until it returns none.
    std::optional<Event> poll(std::int64_t nowNs);

    // The person's pause and resume (Space). A resume also ends a pause
    // after input.
    void pause(std::int64_t nowNs);
    void resume(std::int64_t nowNs);
    // Input of any kind but the tour's own keys: pauses the tour until
    // there has been none for the pause time.
    void input(std::int64_t nowNs);

    // Page Down / Page Up: the next (previous) live step, shown now with
    // its whole dwell from now on. A pause stays, and the step's dwell
    // starts when it ends. Returns the step to show.
    std::size_t next(std::int64_t nowNs);
    std::size_t previous(std::int64_t nowNs);

    std::size_t current() const { return current_; }
    bool isStarted() const { return started_; }
    bool isPausedByPerson() const { return pausedByPerson_; }
    // Paused after input, until resumeAtNs().
    bool isPausedByInput() const { return pausedByInput_ && !pausedByPerson_; }
    std::int64_t resumeAtNs() const { return lastInputNs_ + pauseNs_; }
    // When the current step is due to end (its start, its dwell and the
    // pauses so far; while it stays on for its activity, the latest it may
    // end); meaningless while paused.
    std::int64_t deadlineNs() const {
        return dwellNs_.empty() ? kNever : stepStartNs_ + dwellNs_[current_] * (staying_ ? 2 : 1);
    }
    // The current step stays past its dwell for its activity.
    bool isStaying() const { return staying_; }
    std::size_t stepCount() const { return dwellNs_.size(); }

private:
    bool paused() const { return pausedByPerson_ || pausedByInput_; }
    bool switches() const { return started_ && dwellNs_.size() >= 2; }
    // The first live step from current_ on in direction (+1 or -1), the
    // current one excluded; the current one when all others are dead.
    std::size_t liveStep(int direction) const;
    void beginPause(std::int64_t nowNs);
    void endPause(std::int64_t atNs);
    std::size_t stepTo(std::size_t step, std::int64_t nowNs);

    std::vector<std::int64_t> dwellNs_;
    std::int64_t pauseNs_;
    std::int64_t prefetchLeadNs_;
    DeadStep dead_;
    ActiveStep active_;

    bool started_ = false;
    std::size_t current_ = 0;
    std::int64_t stepStartNs_ = 0;  // when the current step began, pauses added
    bool prefetched_ = false;       // the coming step was prefetched for this deadline
    bool staying_ = false;          // past its dwell for its activity
    std::int64_t checkNs_ = 0;      // staying: when it is asked again
    bool pausedByPerson_ = false;
    bool pausedByInput_ = false;
    std::int64_t pausedSinceNs_ = 0;
    std::int64_t lastInputNs_ = 0;
};
