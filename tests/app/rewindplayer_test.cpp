// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindplayer.h"

#include "rewindstore.h"

#include <QTest>

#include <gtest/gtest.h>

#include "testutil.h"

namespace {

constexpr qint64 kKeptFrom = 100'000;
constexpr qint64 kEvery[] = {100, 300, 700, 1100};  // each camera's stills, ms apart

// Four cells of stills kept from kKeptFrom to now, and a fifth of a camera of
// which nothing was kept, on a clock the test moves.
struct KeptWall {
    qint64 now = kKeptFrom + 10'000;
    std::shared_ptr<RewindStore> store = std::make_shared<RewindStore>(QString{});
    RewindPlayer player{store, [this] { return now; }};
    std::map<int, qint64> shown;  // by cell: the arrival of the still shown; -1: nothing kept

    KeptWall() {
        const QByteArray jpeg = QByteArray::fromStdString(jpegOf({16, 16}, Qt::gray));
        std::vector<RewindPlayer::Cell> cells{{4, "never kept", {16, 16}}};
        for (int i = 0; i < 4; ++i) {
            for (qint64 t = kKeptFrom; t <= now; t += kEvery[i])
                store->append(QString::number(i), {RewindStore::Part::Kind::Still, t, jpeg, true});
            cells.push_back({i, QString::number(i), {16, 16}});
        }
        player.setCells(cells);
        QObject::connect(&player, &RewindPlayer::picture,
                         [this](int cell, const video::Past& past) { shown[cell] = past.time; });
        QObject::connect(&player, &RewindPlayer::nothingKept,
                         [this](int cell) { shown[cell] = -1; });
    }

    void expectShown(qint64 moment) {
        moment = std::min(moment, kKeptFrom + 10'000);  // the newest still kept
        std::map<int, qint64> expected{{4, -1}};
        for (int i = 0; i < 4; ++i)
            expected[i] = moment < kKeptFrom ? -1 : moment - (moment - kKeptFrom) % kEvery[i];
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown == expected; }, 20000))
            << moment - kKeptFrom;
    }
};

TEST(RewindPlayer, EveryCellShowsItsStillJustBeforeTheMomentPausedOrPlaying) {
    KeptWall wall;
    RewindPlayer& p = wall.player;
    const auto playFor = [&](qint64 ms) {
        wall.now += ms;
        QMetaObject::invokeMethod(&p, "tick");
    };
    const std::pair<std::function<void()>, qint64> cases[] = {
        {[&] { p.show(kKeptFrom + 5050); }, 5050},
        {[&] { p.show(kKeptFrom + 2345); }, 2345},
        {[&] { p.back(1000); }, 1345},
        {[&] { p.forward(300); }, 1645},
        {[&] { p.step(true); }, 1700},
        {[&] { p.step(false); }, 1600},
        {[&] { p.step(false); }, 1500},
        {[&] { p.step(true, "2"); }, 2100},  // camera 2's next still, 700 ms on
        {[&] { p.step(false, "2"); }, 1400},
        {[&] { p.show(kKeptFrom - 50); }, -50},
        {[&] { p.show(kKeptFrom + 1000), p.setSpeed(2), p.play(), playFor(400); }, 1800},
        {[&] { playFor(400); }, 2600},
        {[&] { playFor(7000); }, 16600},
    };
    for (const auto& [act, moment] : cases) {
        act();
        EXPECT_FALSE(p.isLive());
        EXPECT_EQ(p.moment(), kKeptFrom + moment);
        wall.expectShown(kKeptFrom + moment);
    }
    playFor(1199);  // 2 x 1199 played: 1 ms short of now
    EXPECT_FALSE(p.isLive());
    playFor(1);
    EXPECT_TRUE(p.isLive());
    EXPECT_FALSE(p.isPlaying());
    EXPECT_EQ(p.moment(), wall.now);
}

}  // namespace
