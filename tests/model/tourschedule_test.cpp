// SPDX-License-Identifier: GPL-3.0-or-later
// The tour's schedule on a fake clock.

#include "tourschedule.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr std::int64_t s = TourSchedule::kSecondNs;

// The events up to endNs, waking when the schedule asks plus lateNs, as
// "p1@9" (prefetch step 1, due at 9 s), "s1@10", "r@40"; fractions of a
// second as milliseconds ("p1@9.5" is written "p1@9500ms").
std::string run(TourSchedule& t, std::int64_t endNs, std::int64_t lateNs = 0) {
    std::string out;
    for (std::int64_t now = t.wakeNs(); now <= endNs; now = t.wakeNs()) {
        now += lateNs;
        while (auto e = t.poll(now)) {
            const char kind[] = {"psr"[int(e->kind)], '\0'};
            const std::string at = e->atNs % s ? std::to_string(e->atNs / 1'000'000) + "ms"
                                               : std::to_string(e->atNs / s);
            out += std::string(out.empty() ? "" : " ") + kind +
                   (e->kind == TourSchedule::Event::Kind::Resumed ? "" : std::to_string(e->step)) +
                   "@" + at;
        }
        if (t.wakeNs() == TourSchedule::kNever) break;
    }
    return out;
}

TEST(TourSchedule, DwellPrefetchAndDeadSteps) {
    // revived: the events of the next 10 s once no step is dead any more.
    // clang-format off
    const struct { const char* what; std::vector<std::int64_t> dwell; std::set<std::size_t> dead;
                   std::int64_t end, late; const char *events, *revived; } cases[] = {
        {"own dwells", {10 * s, 5 * s, 2 * s}, {}, 18 * s, 0,
         "p1@9 s1@10 p2@14 s2@15 p0@16 s0@17", "p1@26 s1@27"},
        {"late wakes keep the grid", {10 * s, 5 * s}, {}, 16 * s, 300'000'000,
         "p1@9 s1@10 p0@14 s0@15", "p1@24 s1@25"},
        {"short dwell: prefetch at its start", {10 * s, s / 2}, {}, 11 * s, 0,
         "p1@9 s1@10 p0@10 s0@10500ms", "p1@19500ms s1@20500ms p0@20500ms s0@21"},
        {"dead steps skipped", {4 * s, 4 * s, 4 * s, 4 * s}, {1, 2}, 9 * s, 0,
         "p3@3 s3@4 p0@7 s0@8", "p1@11 s1@12 p2@15 s2@16 p3@19"},
        {"all others dead: stays, asks again", {4 * s, 4 * s, 4 * s}, {1, 2}, 20 * s, 0, "",
         "p1@23 s1@24 p2@27 s2@28"},
        {"one step", {4 * s}, {}, 20 * s, 0, "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule t(c.dwell, 30 * s);
        std::set<std::size_t> dead = c.dead;
        t.setDeadStep([&](std::size_t step) { return dead.count(step) > 0; });
        t.start(0);
        EXPECT_EQ(run(t, c.end, c.late), c.events) << c.what;
        dead.clear();
        EXPECT_EQ(run(t, c.end + 10 * s, c.late), c.revived) << c.what;
    }
}

TEST(TourSchedule, NoDriftOverADay) {
    TourSchedule t({10 * s, 10 * s}, 30 * s);
    const std::int64_t start = 123 * s;
    t.start(start);
    int switches = 0;
    std::int64_t last = 0;
    for (std::int64_t now = t.wakeNs(); now <= start + 86'400 * s; now = t.wakeNs())
        while (auto e = t.poll(now + 7'000'000))  // each wake 7 ms late
            if (e->kind == TourSchedule::Event::Kind::Switch) ++switches, last = e->atNs;
    EXPECT_EQ(switches, 8640);
    EXPECT_LE(std::abs(last - (start + 86'400 * s)), 100'000'000);
}

TEST(TourSchedule, PausesByInputAndByThePerson) {
    // Each row: actions at times, then the events until end.
    // clang-format off
    const struct { const char* what; std::function<void(TourSchedule&)> act; std::int64_t end;
                   const char* events; } cases[] = {
        {"input at 3 s: resumes at 33 s, 7 s left", [](auto& t) { t.input(3 * s); }, 42 * s,
         "r@33 p1@39 s1@40"},
        {"more input extends the pause", [](auto& t) { t.input(3 * s); t.input(20 * s); },
         50 * s, "r@50"},
        {"the person's pause waits for resume", [](auto& t) { t.pause(3 * s); t.input(5 * s); },
         100 * s, ""},
        {"resume keeps the rest of the dwell", [](auto& t) { t.pause(3 * s); t.resume(8 * s); },
         16 * s, "p1@14 s1@15"},
        {"next: its whole dwell from now", [](auto& t) { EXPECT_EQ(t.next(4 * s), 1u); },
         15 * s, "p0@13 s0@14"},
        {"previous wraps round", [](auto& t) { EXPECT_EQ(t.previous(4 * s), 1u); }, 15 * s,
         "p0@13 s0@14"},
        {"next while paused by input", [](auto& t) { t.input(2 * s); t.next(6 * s); }, 45 * s,
         "r@32 p0@41 s0@42"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule t({10 * s, 10 * s}, 30 * s);
        t.start(0);
        c.act(t);
        EXPECT_EQ(run(t, c.end), c.events) << c.what;
    }
}

}  // namespace
