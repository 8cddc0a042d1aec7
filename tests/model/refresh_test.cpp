// The live picture refresh: rate, request gate, delivery to the view.

#include <gtest/gtest.h>

#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "refreshschedule.h"
#include "testutil.h"

namespace {

tx::JsonValue cameraList(int count, const std::string& path = "/image") {
    tx::JsonArray list;
    for (int i = 0; i < count; ++i)
        list.push_back(tx::JsonObject{{"name", std::to_string(i)},
                                      {"image-uri", "/cameras/" + std::to_string(i) + path}});
    return list;
}

std::shared_ptr<CamServer> serverWithCameras(int count, RecordingLoader* loader,
                                             const QString& fps = "8") {
    auto server = CamServer::create();
    server->setFps(fps);
    server->setCameras(cameraList(count));
    server->setDataManager(loader);
    return server;
}

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
    auto server = serverWithCameras(3, &loader, "1000");
    FakeImageView view({320.6, 240.2});
    view.ratio = 2.0;  // asked in device pixels
    server->getCameras()->at(1)->setCamera(&view);
    server->videoCameraAtIndex(1);
    EXPECT_TRUE(server->isRefreshing());
    EXPECT_EQ(server->currentCameraIndex(), 1);
    ASSERT_EQ(loader.calls.size(), 1u);
    EXPECT_EQ(std::tuple(loader.calls[0].index, loader.calls[0].uri, loader.calls[0].resolution),
              std::tuple(1, QString("/cameras/1/image"), QString("641x480")));
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
    EXPECT_FALSE(server->isPictureInFlight());
}

TEST(Refresh, OutOfRangePositionsAndUnsafePathsAskForNothing) {
    // (ServerUrl's own table owns which paths are unsafe.)
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader);
    tx::JsonArray list = cameraList(1).asArray();
    list.push_back(tx::JsonObject{{"image-uri", "//other-host/x"}});
    server->setCameras(list);
    FakeImageView view;
    server->getCameras()->at(1)->setCamera(&view);
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
    auto server = serverWithCameras(2, &loader);
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
    auto server = serverWithCameras(2, &loader, "1000");
    FakeImageView view;
    server->getCameras()->at(1)->setCamera(&view);
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
