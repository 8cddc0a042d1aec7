// SPDX-License-Identifier: GPL-3.0-or-later
// The rewind timeline: positions and times map onto each other, presses and
// drags choose moments, clip ends or live, and the moment reads as a clock
// time and an age.

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QMouseEvent>
#include <QSpinBox>

#include <gtest/gtest.h>
#include <tuple>

#include "preferencesdialog.h"
#include "rewindbar.h"

namespace {

constexpr qint64 kFirst = 1700000000000, kNow = kFirst + 5 * 60 * 1000;

void mouse(QWidget& w, QEvent::Type type, int x) {
    const QPointF at(x, 14);
    QMouseEvent e(type, at, w.mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
    QApplication::sendEvent(&w, &e);
}

TEST(RewindBar, TimesAndPlacesRoundTrip) {
    RewindBar bar;
    bar.resize(800, 44);
    bar.setSpan(kFirst, kNow);
    const int left = bar.xOf(kFirst), right = bar.xOf(kNow);
    ASSERT_GT(right - left, 300);
    for (int x = left; x <= right; ++x) ASSERT_EQ(bar.xOf(bar.timeAt(x)), x);
    EXPECT_EQ(std::tuple(bar.timeAt(left - 50), bar.timeAt(right + 50), bar.xOf(kNow + 1)),
              std::tuple(kFirst, kNow, right));
    EXPECT_NEAR(bar.timeAt((left + right) / 2), (kFirst + kNow) / 2, (kNow - kFirst) / 300);
}

TEST(RewindBar, PressesAndDrags) {
    constexpr qint64 kFifth = (kNow - kFirst) / 5;
    struct Row {
        const char* name;
        double press;  // along the track, 0 oldest, 1 now, 1.1 past it
        std::vector<double> drags;
        const char* expect;  // the signals, as "m" moment, "c" clip, "l" live
        qint64 collapsed;    // where both clip ends meet at the end, or 0
    };
    // The clip spans [0.2, 0.4]; a handle stops at the other one.
    const Row rows[] = {
        {"press and drag", 0.5, {0.6, 0.7, -0.5}, "m m m m", 0},
        {"clip start handle", 0.2, {0.3, 0.9}, "c c", kFirst + 2 * kFifth},
        {"clip end handle", 0.4, {0.1}, "c", kFirst + kFifth},
        {"right of now", 1.1, {0.5}, "l", 0},
    };
    for (const Row& r : rows) {
        RewindBar bar;
        bar.resize(800, 44);
        bar.setSpan(kFirst, kNow);
        bar.setClip(kFirst + kFifth, kFirst + 2 * kFifth);
        const auto at = [&](double share) {
            const int left = bar.xOf(kFirst), right = bar.xOf(kNow);
            return share > 1 ? right + 10 : left + int(share * (right - left));
        };
        QStringList seen;
        std::vector<qint64> moments, clip{0, 0};
        QObject::connect(&bar, &RewindBar::momentChosen,
                         [&](qint64 t) { seen << "m", moments.push_back(t); });
        QObject::connect(&bar, &RewindBar::clipChanged, [&](qint64 from, qint64 to) {
            seen << "c", clip = {from, to};
        });
        QObject::connect(&bar, &RewindBar::liveChosen, [&] { seen << "l"; });
        mouse(bar, QEvent::MouseButtonPress, at(r.press));
        for (double d : r.drags) mouse(bar, QEvent::MouseMove, at(d));
        mouse(bar, QEvent::MouseButtonRelease, at(r.drags.back()));
        EXPECT_EQ(seen.join(' '), r.expect) << r.name;
        for (qint64 t : moments) EXPECT_TRUE(t >= kFirst && t <= kNow) << r.name;
        if (!moments.empty()) EXPECT_EQ(moments.back(), kFirst) << r.name << ": past the start";
        if (r.collapsed) EXPECT_EQ(clip, (std::vector{r.collapsed, r.collapsed})) << r.name;
    }
}

TEST(RewindBar, MomentText) {
    const qint64 moment = QDateTime(QDate(2026, 12, 8), QTime(23, 41, 7)).toMSecsSinceEpoch();
    const struct {
        qint64 ageMs;
        const char* expect;
    } rows[] = {
        {0, "23:41:07, 0:00 ago"},          {42900, "23:41:07, 0:42 ago"},
        {600000, "23:41:07, 10:00 ago"},    {3599000, "23:41:07, 59:59 ago"},
        {3600000, "23:41:07, 1:00:00 ago"}, {7384000, "23:41:07, 2:03:04 ago"},
        {-5000, "23:41:07, 0:00 ago"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(rewindMomentText(moment, moment + r.ageMs), r.expect) << r.ageMs;
}

TEST(RewindPreferences, FieldsFollowTheSwitch) {
    PreferencesDialog dialog({4, false, 17, 512, 0, false}, 8);
    auto* keep = dialog.findChild<QCheckBox*>("keepAtQuit");
    auto* minutes = dialog.findChild<QSpinBox*>("rewindMinutes");
    ASSERT_TRUE(minutes && keep);
    EXPECT_FALSE(minutes->isEnabled() || keep->isEnabled());
    dialog.findChild<QCheckBox*>("rewind")->setChecked(true);
    EXPECT_TRUE(minutes->isEnabled() && keep->isEnabled());
    keep->setChecked(true);
    const auto v = dialog.values();
    EXPECT_EQ(std::tuple(v.rewind, v.rewindMinutes, v.diskGiB, v.keepAtQuit),
              std::tuple(true, 17, 0, true));
}

}  // namespace
