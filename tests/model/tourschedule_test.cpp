// SPDX-License-Identifier: GPL-3.0-or-later
// The tour's schedule on a fake clock.

#include "tourschedule.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <set>

namespace {

constexpr std::int64_t s = TourSchedule::kSecondNs;
std::int64_t clockNs = 0;  // the time run() polls at

// The events due up to endNs, waking when the schedule asks (lateNs later),
// as "p1@9" (prefetch step 1, due at 9 s), "s1@10" (switch), "r0@40"
// (resumed after input, on step 0).
QString run(TourSchedule& t, std::int64_t endNs, std::int64_t lateNs = 0) {
    QStringList out;
    for (std::int64_t now = t.wakeNs(); now <= endNs; now = t.wakeNs())
        while (auto e = t.poll(clockNs = now + lateNs))
            out << QString("%1%2@%3")
                       .arg("psr"[int(e->kind)])
                       .arg(e->step)
                       .arg(double(e->atNs) / s);
    return out.join(' ');
}

TEST(TourSchedule, DwellPrefetchAndDeadSteps) {
    // revived: the events of the next 10 s once no step is dead any more.
    // clang-format off
    const struct { std::vector<std::int64_t> dwell; std::set<std::size_t> dead;
                   std::int64_t end, late; const char *events, *revived; } cases[] = {
        {{10 * s, 5 * s, 2 * s}, {}, 18 * s, 0, "p1@9 s1@10 p2@14 s2@15 p0@16 s0@17",
         "p1@26 s1@27"},
        {{10 * s, 5 * s}, {}, 16 * s, s / 3, "p1@9 s1@10 p0@14 s0@15", "p1@24 s1@25"},  // late
        {{10 * s, s / 2}, {}, 11 * s, 0, "p1@9 s1@10 p0@10 s0@10.5",
         "p1@19.5 s1@20.5 p0@20.5 s0@21"},
        {{4 * s, 4 * s, 4 * s, 4 * s}, {1, 2}, 9 * s, 0, "p3@3 s3@4 p0@7 s0@8",
         "p1@11 s1@12 p2@15 s2@16 p3@19"},
        {{4 * s, 4 * s, 4 * s}, {1, 2}, 20 * s, 0, "", "p1@23 s1@24 p2@27 s2@28"},  // all dead
        {{4 * s}, {}, 20 * s, 0, "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule t(c.dwell, 30 * s);
        std::set<std::size_t> dead = c.dead;
        t.setDeadStep([&](std::size_t step) { return dead.count(step) > 0; });
        t.start(0);
        EXPECT_EQ(run(t, c.end, c.late), c.events);
        dead.clear();
        EXPECT_EQ(run(t, c.end + 10 * s, c.late), c.revived);
    }
    // The grid starts where the tour starts; late wakes never move it (row 2).
    TourSchedule later({10 * s, 5 * s}, 30 * s);
    later.start(123 * s);
    EXPECT_EQ(run(later, 138 * s, s / 3), "p1@132 s1@133 p0@137 s0@138");
}

TEST(TourSchedule, PausesAndSteps) {
    using T = TourSchedule;
    // clang-format off
    const struct { std::function<void(T&)> act; std::int64_t end; const char* events; } cases[] = {
        {[](T& t) { t.input(3 * s); }, 42 * s, "r0@33 p1@39 s1@40"},  // 7 s left after the pause
        {[](T& t) { t.input(3 * s), t.input(20 * s); }, 50 * s, "r0@50"},
        {[](T& t) { t.pause(3 * s), t.input(5 * s); }, 100 * s, ""},  // waits for resume()
        {[](T& t) { t.pause(3 * s), t.resume(8 * s); }, 16 * s, "p1@14 s1@15"},
        {[](T& t) { EXPECT_EQ(t.next(4 * s), 1u); }, 15 * s, "p2@13 s2@14"},
        {[](T& t) { EXPECT_EQ(t.previous(4 * s), 2u); }, 15 * s, "p0@13 s0@14"},
        {[](T& t) { t.input(2 * s), t.next(6 * s); }, 45 * s, "r1@32 p2@41 s2@42"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule t({10 * s, 10 * s, 10 * s}, 30 * s);
        t.start(0);
        c.act(t);
        EXPECT_EQ(run(t, c.end), c.events);
    }
}

TEST(TourSchedule, AnActiveStepStaysAtMostOneMoreDwell) {
    using T = TourSchedule;
    // Step 0 is active until activeUntil; step 1 never.
    // clang-format off
    const struct { std::int64_t activeUntil; std::function<void(T&)> act; std::int64_t end;
                   const char* events; } cases[] = {
        {0, {}, 20 * s, "p1@9 s1@10 p0@19 s0@20"},  // quiet: on time
        {13 * s + s / 2, {}, 24 * s, "p1@9 s1@14 p0@23 s0@24"},  // asked each second
        {100 * s, {}, 50 * s, "p1@9 s1@20 p0@29 s0@30 p1@39 s1@50"},  // a second dwell at most
        // Staying (since 10 s): a pause is added; Page Down ends it.
        {100 * s, [](T& t) { run(t, 11 * s), t.input(12 * s); }, 50 * s, "r0@42 s1@50"},
        {100 * s, [](T& t) { run(t, 11 * s), t.next(12 * s); }, 22 * s, "p0@21 s0@22"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule t({10 * s, 10 * s}, 30 * s);
        t.setActiveStep([&](std::size_t step) { return step == 0 && clockNs < c.activeUntil; });
        t.start(0);
        if (c.act) c.act(t);
        EXPECT_EQ(run(t, c.end), c.events) << &c - cases;
    }
}

}  // namespace
