// SPDX-License-Identifier: GPL-3.0-or-later
// The live picture refresh (rate, request gate, delivery to the view) and
// the camera wall's page refresh against a loader that the test answers by
// hand: which cameras ask, at what size, and where answers land.

#include <gtest/gtest.h>

#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "refreshschedule.h"
#include "testutil.h"
#include "wallloader.h"
#include "wallrefresh.h"

namespace {

// A server at 1000 pictures a second whose cameras have these picture paths;
// the view, if given, is camera 1's.
std::shared_ptr<CamServer> serverWith(const std::vector<std::string>& paths,
                                      RecordingLoader* loader = nullptr,
                                      FakeImageView* view = nullptr) {
    tx::JsonArray list;
    for (const std::string& path : paths) list.push_back(tx::JsonObject{{"image-uri", path}});
    auto server = CamServer::create();
    server->setFps("1000");
    server->setCameras(list);
    server->setDataManager(loader);
    if (view) server->getCameras()->at(1)->setCamera(view);
    return server;
}

// Records requests and cancels. It keeps every done, cancelled or not, so a
// test can also play a loader that answers late.
class FakeWallLoader : public WallLoader {
public:
    using Done = std::function<void(const CameraPicture&)>;
    // clang-format off
    struct Call { std::int64_t index; QString uri; QSize size; Done done; };
    // clang-format on
    void requestPicture(std::int64_t index, const QString& uri, QSize size, Done done) override {
        calls.push_back({index, uri, size, std::move(done)});
    }
    void cancel(std::int64_t index) override { cancels.push_back(index); }
    std::vector<Call> calls;
    std::vector<std::int64_t> cancels;
};

// Drives the schedule with a simulated clock, the refresh's own timer
// rounding and a server that answers after rtt; counts the requests of ten
// seconds.
int requestsInTenSeconds(int rate, std::int64_t rttNs, bool failing = false) {
    constexpr std::int64_t kMs = 1'000'000, kEnd = 10'000 * kMs;
    RefreshSchedule schedule(rate);
    const std::int64_t origin = 5 * kMs;  // any origin
    std::int64_t now = origin;
    schedule.start(now);
    int requests = 0;
    while (now - origin < kEnd) {
        if (const std::int64_t wait = schedule.waitNs(now); wait > 0) {
            now += RefreshSchedule::timerMs(wait) * kMs;
            continue;
        }
        schedule.requested(now);
        ++requests;
        now += rttNs;
        schedule.answered(!failing);
    }
    return requests;
}

}  // namespace

TEST(RefreshRate, RateFromTheLeadingIntegerOfFps) {
    const std::pair<const char*, int> cases[] = {
        {"", 8},    {"0", 8},         {"abc", 8},     {"12fps", 12},
        {" 5", 5},  {"+10", 10},      {"-4", 8},      {"1", 1},
        {"2.9", 2}, {"100000", 1000}, {"1000", 1000}, {"99999999999999999999", 1000},
    };
    for (const auto& [fps, rate] : cases) EXPECT_EQ(CamServer::refreshRate(fps), rate) << fps;
}

TEST(RefreshRate, NeverAboveTheConfiguredRateAndNearTheLowerOfItAndTheServers) {
    constexpr std::int64_t kMs = 1'000'000;
    // rate, server round trip, most and fewest requests in ten seconds. A
    // period that is not a whole number of milliseconds (30 per second is not
    // 33 ms) is not rounded to a faster one; a slower server sets the pace,
    // with no burst after. Failing pictures back off to one every four seconds.
    // clang-format off
    struct Case { int rate; std::int64_t rttNs; int atMost, atLeast; bool failing = false; };
    const Case cases[] = {
        {30, 0, 301, 297},        {30, 10 * kMs, 301, 297}, {667, 0, 6671, 6600},
        {1, 0, 11, 10},           {25, 50 * kMs, 201, 196}, {25, 39 * kMs, 251, 247},
        {1000, 3 * kMs, 3334, 3300}, {25, 0, 10, 6, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        const int n = requestsInTenSeconds(c.rate, c.rttNs, c.failing);
        EXPECT_TRUE(n <= c.atMost && n >= c.atLeast)
            << n << " at " << c.rate << "/s, rtt " << c.rttNs / kMs << " ms";
    }
}

TEST(RefreshRate, FailingPicturesBackOffAndOnePictureRecovers) {
    RefreshSchedule schedule(25);
    schedule.start(0);
    std::int64_t now = 0;
    // One lost picture is no reason to slow down; two are, and six wait the longest.
    const std::int64_t expected[] = {
        schedule.periodNs(),           RefreshSchedule::kFirstBackoffNs, 0, 0, 0,
        RefreshSchedule::kMaxBackoffNs};
    for (int i = 0; i < 7; ++i) {  // six answers without a picture, then one with
        now += schedule.waitNs(now);
        schedule.requested(now);
        schedule.answered(i == 6);
        if (i < 6 && expected[i]) EXPECT_EQ(schedule.waitNs(now), expected[i]) << i;
    }
    EXPECT_EQ(schedule.waitNs(now), schedule.periodNs()) << "one picture brings the rate back";
}

TEST(Refresh, StartRequestsAtOnceAndTheGateHoldsTheNext) {
    RecordingLoader loader;
    FakeImageView view({320.6, 240.2});
    view.ratio = 2.0;  // asked in device pixels
    auto server = serverWith({"/c/0", "/c/1", "/c/2"}, &loader, &view);
    server->videoCameraAtIndex(1);
    EXPECT_EQ(server->currentCameraIndex(), 1);
    ASSERT_EQ(loader.calls.size(), 1u);
    EXPECT_EQ(std::tuple(loader.calls[0].index, loader.calls[0].uri, loader.calls[0].resolution),
              std::tuple(1, QString("/c/1"), QString("641x480")));
    spinFor(50);  // ticks while the picture is on its way ask for nothing
    EXPECT_EQ(loader.calls.size(), 1u);
    // Its delivery opens the gate, and the missed tick asks again at once.
    server->updateCamera(1, solid(Qt::red));
    EXPECT_EQ(view.last.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(loader.calls.size(), 2u);
    // A failed picture clears the view and reopens the gate too.
    server->updateCamera(1, QImage());
    EXPECT_TRUE(view.last.isNull());
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() == 3; }));
    // A cancelled job opens the gate without a picture; the ticks resume.
    server->pictureCancelled(1);
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() == 4; }));
    // Another camera while that request is on its way: one request in
    // flight per server, and the late picture never lands on the new camera.
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    spinFor(20);
    EXPECT_EQ(loader.calls.size(), 4u);
    size_t shown = view.pictures.size();
    server->updateCamera(1, solid(Qt::blue));
    EXPECT_EQ(view.pictures.size(), shown);
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() == 5; }));
    EXPECT_EQ(loader.calls[4].index, 0);
    server->updateCamera(0, solid(Qt::green));
    EXPECT_EQ(view.last.pixelColor(0, 0), QColor(Qt::green));
    server->stopVideo();
    EXPECT_FALSE(server->isRefreshing());
    shown = view.pictures.size();
    server->updateCamera(0, solid(Qt::blue));  // the server was left meanwhile
    EXPECT_EQ(view.pictures.size(), shown);
}

TEST(Refresh, OutOfRangePositionsAndUnsafePathsAskForNothing) {
    // (ServerUrl's own table owns which paths are unsafe.)
    RecordingLoader loader;
    FakeImageView view;
    auto server = serverWith({"/c/0", "//other-host/x"}, &loader, &view);
    server->videoCameraAtIndex(1);
    spinFor(30);
    EXPECT_TRUE(loader.calls.empty() && view.pictures.size() == 1 && view.last.isNull());
    server->videoCameraAtIndex(0);
    for (std::int64_t p : {std::int64_t{2}, std::int64_t{-1}, std::int64_t{1} << 40}) {
        server->videoCameraAtIndex(p);
        EXPECT_FALSE(server->isRefreshing()) << p;
        EXPECT_EQ(server->currentCameraIndex(), 0) << p;
        server->updateCamera(p, solid(Qt::blue));
    }
    EXPECT_EQ(loader.calls.size(), 1u);
}

TEST(Refresh, AViewBelongsToOneRecordAndNoRecordKeepsADeadView) {
    RecordingLoader loader;
    auto server = serverWith({"/c/0", "/c/1"}, &loader);
    CameraView* a = server->getCameras()->at(0).get();
    CameraView* b = server->getCameras()->at(1).get();
    auto view = std::make_unique<FakeImageView>();
    a->setCamera(view.get());
    b->setCamera(view.get());
    EXPECT_EQ(a->camera(), nullptr) << "the view moved to b";
    EXPECT_EQ(b->camera(), view.get());
    view.reset();
    EXPECT_EQ(b->camera(), nullptr) << "the view is gone";
    b->updateCamera(solid(Qt::red));  // must not reach the dead view
}

TEST(Refresh, WorkerThreadsStartOnTheMainThreadAndReleaseSafely) {
    RecordingLoader loader;
    FakeImageView view;
    auto server = serverWith({"/c/0", "/c/1"}, &loader, &view);
    std::thread worker([&] { server->videoCameraAtIndex(1); });
    ASSERT_TRUE(waitUntil([&] { return server->isRefreshing(); }));
    worker.join();
    EXPECT_EQ(loader.calls.size(), 1u);
    // A worker hands its picture over without waiting; the view is touched
    // on the main thread only.
    std::thread([&] { server->updateCamera(1, solid(Qt::red)); }).join();
    EXPECT_TRUE(view.pictures.empty()) << "placed before the main thread ran";
    ASSERT_TRUE(waitUntil([&] { return !view.pictures.empty(); }));
    EXPECT_EQ(view.offMainThread, 0);
    const size_t asked = loader.calls.size();
    std::thread([s = std::move(server)]() mutable { s.reset(); }).join();
    spinFor(50);  // a pending tick must find the record gone, not crash
    EXPECT_EQ(loader.calls.size(), asked);
}

// The lowest owner of the asked size in device pixels (the live refresh
// uses the same view size).
TEST(WallRefresh, EachCameraOnThePageAsksAtTheSizeItsViewAsks) {
    // asked empty: nothing asked, one failed picture shown; zoomed: the view
    // asks that instead of its own size (a zoomed view wants more detail).
    // clang-format off
    const struct { std::int64_t index; QSizeF points; qreal ratio; QSize asked;
                   QSize zoomed = {}; } cases[] = {
        {0, {320.6, 240.2}, 1.0, {320, 240}},
        {1, {320.6, 240.2}, 2.0, {641, 480}},
        {2, {100, 50}, 1.5, {150, 75}},
        {4, {100, 50}, 2.0, {400, 200}, {400, 200}},
        {3, {100, 50}, 1.0, {}},   // a path that could leave the server
        {5, {100, 50}, 1.0, {}},   // beyond the list
        {-1, {100, 50}, 1.0, {}},  // before it
    };
    // clang-format on
    auto server = serverWith({"/c/0", "/c/1", "/c/2", "//evil.example/c", "/c/4"});
    FakeWallLoader loader;
    struct View : FakeImageView {
        using FakeImageView::FakeImageView;
        QSize askedPixels() const override { return zoomed.isEmpty() ? pixelSize() : zoomed; }
        QSize zoomed;
    };
    std::vector<std::unique_ptr<View>> views;
    std::vector<WallRefresh::Cell> cells;
    for (const auto& c : cases) {
        views.push_back(std::make_unique<View>(c.points));
        views.back()->zoomed = c.zoomed;
        views.back()->ratio = c.ratio;
        cells.push_back({c.index, views.back().get()});
    }
    WallRefresh wall(server, &loader);
    wall.showPage(cells);
    ASSERT_EQ(loader.calls.size(), 4u);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [index, points, ratio, asked, zoomed] = cases[i];
        if (asked.isEmpty())
            EXPECT_TRUE(views[i]->pictures.size() == 1 && views[i]->last.isNull()) << i;
        else
            EXPECT_EQ(std::tuple(loader.calls[i].index, loader.calls[i].size, loader.calls[i].uri),
                      std::tuple(index, asked, QString("/c/%1").arg(index)));
    }
}

TEST(WallRefresh, APictureLandsOnlyOnTheCellThatStillShowsItsCamera) {
    // Each step: the page to show (two cells, views A and B) and which
    // earlier request (by position in the call log) is answered; the
    // expected colour of A and B afterwards (invalid: nothing landed).
    auto server = serverWith({"/c/0", "/c/1", "/c/2", "/c/3"});
    FakeWallLoader loader;
    FakeImageView a, b;
    WallRefresh wall(server, &loader);

    wall.showPage({{0, &a}, {1, &b}});
    ASSERT_EQ(loader.calls.size(), 2u);
    // Paging while both answers are on their way: both are cancelled, and
    // even a loader that answers anyway cannot put them on the new cameras.
    wall.showPage({{2, &a}, {3, &b}});
    EXPECT_EQ(loader.cancels, (std::vector<std::int64_t>{0, 1}));
    for (int i : {0, 1}) loader.calls[i].done(solid(Qt::red));
    EXPECT_TRUE(a.pictures.empty() && b.pictures.empty());

    // Camera 0 comes back into view A: an answer to its earlier visit is
    // still not for this one, the answer to its new request is.
    wall.showPage({{0, &a}, {3, &b}});
    ASSERT_EQ(loader.calls.size(), 5u);
    EXPECT_EQ(loader.calls[4].index, 0);
    loader.calls[0].done(solid(Qt::red));
    EXPECT_TRUE(a.pictures.empty());
    loader.calls[4].done(solid(Qt::green));
    EXPECT_EQ(a.last.pixelColor(0, 0), QColor(Qt::green));
    // Camera 3 stayed in view B: its request goes on and its answer lands.
    loader.calls[3].done(solid(Qt::blue));
    EXPECT_EQ(b.last.pixelColor(0, 0), QColor(Qt::blue));
}

TEST(WallRefresh, OneRequestPerCameraAndNoneWhileRestingOrAfterStop) {
    auto server = serverWith({"/c/0", "/c/1"});
    FakeWallLoader loader;
    FakeImageView a, b;
    WallRefresh wall(server, &loader);
    wall.showPage({{0, &a}, {1, &b}});
    // At 1000 per second the timers would ask many times over: the gate
    // holds each camera to one request in flight.
    spinFor(30);
    ASSERT_EQ(loader.calls.size(), 2u);
    // An answer lets its own camera ask again, no other.
    loader.calls[0].done(solid(Qt::red));
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() > 2; }));
    EXPECT_TRUE(loader.calls.size() == 3 && loader.calls[2].index == 0);

    wall.setResting(true);
    loader.calls[1].done(solid(Qt::red));
    spinFor(30);
    EXPECT_EQ(loader.calls.size(), 3u);
    wall.setResting(false);
    EXPECT_TRUE(loader.calls.size() == 4 && loader.calls[3].index == 1);

    wall.stop();
    EXPECT_EQ(loader.cancels, (std::vector<std::int64_t>{0, 1}));
    const size_t before = loader.calls.size();
    loader.calls[before - 1].done(solid(Qt::blue));
    spinFor(30);
    EXPECT_EQ(loader.calls.size(), before);
    EXPECT_EQ(b.pictures.size(), 1u);  // the answer before resting only
}

TEST(WallRefresh, ACameraInSeveralCellsIsAskedOnceAtTheLargestAndShownInEach) {
    auto server = serverWith({"/c/0", "/c/1"});
    FakeWallLoader loader;
    FakeImageView small({160, 120}), large({640, 360}), middle({320, 240}), other;
    WallRefresh wall(server, &loader);
    wall.showPage({{0, &small}, {1, &other}, {0, &large}, {0, &middle}});
    spinFor(30);
    ASSERT_EQ(loader.calls.size(), 2u);
    EXPECT_EQ(std::tuple(loader.calls[0].index, loader.calls[0].size),
              std::tuple(0, QSize(640, 360)));
    loader.calls[0].done(solid(Qt::green));
    for (const FakeImageView* view : {&small, &large, &middle})
        EXPECT_EQ(view->last.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_TRUE(other.pictures.empty());
    // The large cell leaves: the next request is at the largest of the rest,
    // and the request in flight goes on for the cells that stay.
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() > 2; }));
    wall.showPage({{0, &small}, {0, &middle}, {1, &other}});
    EXPECT_TRUE(loader.cancels.empty());
    loader.calls[2].done(solid(Qt::blue));
    EXPECT_EQ(large.last.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(middle.last.pixelColor(0, 0), QColor(Qt::blue));
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() > 3; }));
    EXPECT_EQ(loader.calls[3].size, QSize(320, 240));
}
