// The live picture refresh: rate, request gate, delivery to the view.

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "mainthreadcall.h"
#include "refreshschedule.h"
#include "testutil.h"

namespace {

tx::JsonValue cameraList(int count) {
    tx::JsonArray list;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        list.push_back(tx::JsonObject{{"name", "Camera " + n},
                                      {"uri", "/cameras/" + n},
                                      {"image-uri", "/cameras/" + n + "/image"}});
    }
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

}  // namespace

TEST(RefreshRate, RateFromTheLeadingIntegerOfFps) {
    struct Case {
        const char* fps;
        int rate;
    } cases[] = {
        {"", 8},       {"0", 8},   {"abc", 8},       {"8", 8},
        {"12fps", 12}, {" 5", 5},  {"25", 25},       {"60", 60},
        {"+10", 10},   {"-4", 8},  {"100000", 1000}, {"99999999999999999999", 1000},
        {"1", 1},      {"2.9", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CamServer::refreshRate(c.fps), c.rate) << '"' << c.fps << '"';
    EXPECT_EQ(CamServer::refreshRate(QString()), 8) << "absent fps";
}

// Drives the schedule with a simulated clock, a millisecond timer (as the
// real one rounds up to whole milliseconds) and a server that answers after
// rtt; counts the requests of ten seconds.
int requestsInTenSeconds(int rate, std::int64_t rttNs, bool failing = false) {
    constexpr std::int64_t kMs = 1'000'000, kEnd = 10'000 * kMs;
    RefreshSchedule schedule(rate);
    std::int64_t now = 5 * kMs;  // any origin
    const std::int64_t origin = now;
    schedule.start(now);
    int requests = 0;
    while (now - origin < kEnd) {
        const std::int64_t wait = schedule.waitNs(now);
        if (wait > 0) {
            now += (wait + kMs - 1) / kMs * kMs;
            continue;
        }
        schedule.requested(now);
        ++requests;
        now += rttNs;
        schedule.answered(!failing);
    }
    return requests;
}

TEST(RefreshRate, NeverAboveTheConfiguredRateAndNearTheLowerOfItAndTheServers) {
    constexpr std::int64_t kMs = 1'000'000;
    struct Case {
        int rate;
        std::int64_t rttNs;
        int atMost, atLeast;
    } cases[] = {
        // A rate whose period is not a whole number of milliseconds must not
        // be rounded up to a faster one (30 per second is not 33 ms).
        {30, 0, 301, 297},
        {30, 10 * kMs, 301, 297},
        {60, 0, 601, 594},
        {667, 0, 6671, 6600},
        {8, 0, 81, 79},
        {1, 0, 11, 10},
        // A server slower than the rate sets the pace, with no burst after.
        {25, 50 * kMs, 201, 196},
        {25, 39 * kMs, 251, 247},
        {1000, 3 * kMs, 3334, 3300},
    };
    for (const Case& c : cases) {
        const int n = requestsInTenSeconds(c.rate, c.rttNs);
        EXPECT_LE(n, c.atMost) << c.rate << "/s, rtt " << c.rttNs / kMs << " ms";
        EXPECT_GE(n, c.atLeast) << c.rate << "/s, rtt " << c.rttNs / kMs << " ms";
    }
}

TEST(RefreshRate, FailingPicturesBackOffToOneEveryFourSecondsAndRecover) {
    // 25 per second, every answer without a picture: after the first few,
    // one request every four seconds.
    const int n = requestsInTenSeconds(25, 0, true);
    EXPECT_LE(n, 10);
    EXPECT_GE(n, 6);

    RefreshSchedule schedule(25);
    schedule.start(0);
    std::int64_t now = 0;
    for (int i = 0; i < 6; ++i) {
        now += schedule.waitNs(now);
        schedule.requested(now);
        schedule.answered(false);
    }
    EXPECT_EQ(schedule.waitNs(now), RefreshSchedule::kMaxBackoffNs);
    // One picture brings the full rate back.
    now += schedule.waitNs(now);
    schedule.requested(now);
    schedule.answered(true);
    EXPECT_EQ(schedule.waitNs(now), schedule.periodNs());
}

TEST(Refresh, StartRequestsAtOnceAndTheGateHoldsTheNext) {
    RecordingLoader loader;
    auto server = serverWithCameras(3, &loader, "1000");
    FakeImageView view({320, 240});
    server->getCameras()->at(1)->setCamera(&view);

    server->videoCameraAtIndex(1);
    EXPECT_TRUE(server->isRefreshing());
    EXPECT_EQ(server->currentCameraIndex(), 1);
    ASSERT_EQ(loader.calls.size(), 1u);
    EXPECT_EQ(loader.calls[0].index, 1);
    EXPECT_EQ(loader.calls[0].uri, "/cameras/1/image");
    EXPECT_EQ(loader.calls[0].resolution, "320x240");

    // Ticks while the picture is on its way ask for nothing.
    spinFor(50);
    EXPECT_EQ(loader.calls.size(), 1u);

    // Its delivery opens the gate, and the missed tick asks again at once.
    server->updateCamera(1, solid(Qt::red));
    EXPECT_EQ(view.last.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(loader.calls.size(), 2u);
    server->stopVideo();
    EXPECT_FALSE(server->isRefreshing());
}

TEST(Refresh, TheTimerRestsWhileAPictureIsAwaitedAndResumesAfterIt) {
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader, "1000");
    server->videoCameraAtIndex(0);
    spinFor(30);  // ticks find the gate closed
    ASSERT_EQ(loader.calls.size(), 1u);
    // A cancelled job opens the gate without a picture; the ticks resume.
    server->pictureCancelled(0);
    ASSERT_TRUE(waitUntil([&] { return loader.calls.size() == 2; }));
    // A delivery resumes them too, with a request at once.
    spinFor(30);
    ASSERT_EQ(loader.calls.size(), 2u);
    server->updateCamera(0, QImage());
    EXPECT_EQ(loader.calls.size(), 3u);
    server->stopVideo();
}

TEST(Refresh, FailedPictureClearsTheViewAndReopensTheGate) {
    RecordingLoader loader;
    auto server = serverWithCameras(2, &loader);
    FakeImageView view;
    CameraView* camera = server->getCameras()->at(0).get();
    camera->setCamera(&view);
    server->videoCameraAtIndex(0);
    server->updateCamera(0, solid(Qt::green));
    camera->setCanLoadNext(false);
    server->updateCamera(0, QImage());
    EXPECT_TRUE(view.last.isNull());
    EXPECT_TRUE(camera->canLoadNext());
    server->stopVideo();
}

TEST(Refresh, OutOfRangePositionsStopTheRefresh) {
    RecordingLoader loader;
    auto server = serverWithCameras(2, &loader);
    server->videoCameraAtIndex(1);
    ASSERT_TRUE(server->isRefreshing());
    for (std::int64_t p : {std::int64_t{2}, std::int64_t{-1}, std::int64_t{1} << 40}) {
        server->videoCameraAtIndex(p);
        EXPECT_FALSE(server->isRefreshing()) << p;
        EXPECT_EQ(server->currentCameraIndex(), 1) << p;
    }
    EXPECT_EQ(loader.calls.size(), 1u);

    auto empty = CamServer::create();
    empty->setDataManager(&loader);
    empty->videoCameraAtIndex(0);  // no list at all
    EXPECT_FALSE(empty->isRefreshing());
    empty->stopVideo();  // harmless without a timer
}

TEST(Refresh, PictureForAPositionBeyondAReplacedListIsDropped) {
    RecordingLoader loader;
    auto server = serverWithCameras(4, &loader);
    FakeImageView view;
    server->getCameras()->at(3)->setCamera(&view);
    server->setCameras(cameraList(2));
    server->updateCamera(3, solid(Qt::blue));
    server->updateCamera(-1, solid(Qt::blue));
    EXPECT_TRUE(view.pictures.empty());
}

// Answers every picture request at once, through the event loop, as a
// fast server on loopback would.
class InstantLoader : public PictureLoader {
public:
    std::weak_ptr<CamServer> server;
    int calls = 0;
    void loadCameraIndex(std::int64_t index, const QString&, const QString&) override {
        ++calls;
        QTimer::singleShot(0, [w = server, index] {
            if (auto s = w.lock()) s->updateCamera(index, solid(Qt::gray));
        });
    }
};

TEST(Refresh, TheRealTimerNeverExceedsTheConfiguredRate) {
    // 700 per second is a period of 1.43 ms: a timer rounded to whole
    // milliseconds would run at 1000.
    InstantLoader loader;
    auto server = serverWithCameras(1, nullptr, "700");
    loader.server = server;
    server->setDataManager(&loader);
    QElapsedTimer clock;
    clock.start();
    server->videoCameraAtIndex(0);
    spinFor(600);
    server->stopVideo();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    EXPECT_LE(loader.calls, static_cast<int>(700 * seconds) + 2) << seconds << " s";
    EXPECT_GT(loader.calls, 10);
}

TEST(Refresh, OneRequestInFlightPerServerAndLatePicturesNeverLandOnAnotherCamera) {
    // Each row: the cameras started in quick succession while the first
    // request is still on its way.
    const std::vector<std::vector<std::int64_t>> rows = {{0, 0}, {0, 1}, {0, 1, 2}, {2, 1, 2}};
    for (const auto& starts : rows) {
        RecordingLoader loader;
        auto server = serverWithCameras(3, &loader, "1000");
        FakeImageView view;
        for (std::int64_t p : starts) {
            server->getCameras()->at(static_cast<size_t>(p))->setCamera(&view);
            server->videoCameraAtIndex(p);
        }
        const std::int64_t shown = starts.back();
        spinFor(20);
        ASSERT_EQ(loader.calls.size(), 1u) << "a second request while one is in flight";
        const std::int64_t first = loader.calls[0].index;
        // The late answer of the first request.
        server->updateCamera(first, solid(Qt::red));
        if (first == shown) {
            EXPECT_EQ(view.pictures.size(), 1u);
        } else {
            EXPECT_TRUE(view.pictures.empty()) << "camera " << first << "'s picture on " << shown;
        }
        // The shown camera is asked for next, and its picture is shown.
        ASSERT_TRUE(waitUntil([&] { return loader.calls.size() == 2; }));
        EXPECT_EQ(loader.calls[1].index, shown);
        server->updateCamera(shown, solid(Qt::green));
        EXPECT_EQ(view.last.pixelColor(0, 0), QColor(Qt::green));
        server->stopVideo();
    }
}

TEST(Refresh, APictureAfterStopIsNotShown) {
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader);
    FakeImageView view;
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    server->stopVideo();  // the server was left while the picture was on its way
    server->updateCamera(0, solid(Qt::red));
    EXPECT_TRUE(view.pictures.empty());
    EXPECT_FALSE(server->isPictureInFlight());
}

TEST(Refresh, AnUnsafeOrAbsentImagePathAsksForNothing) {
    for (const char* path : {"", "@other-host:9/x", "//other-host/x", "x/y", "/a b", "/a\\b"}) {
        RecordingLoader loader;
        auto server = CamServer::create();
        server->setCameras(tx::JsonArray{tx::JsonObject{{"name", "C"}, {"image-uri", path}}});
        server->setDataManager(&loader);
        FakeImageView view;
        server->getCameras()->at(0)->setCamera(&view);
        server->videoCameraAtIndex(0);
        spinFor(30);
        EXPECT_TRUE(loader.calls.empty()) << path;
        ASSERT_FALSE(view.pictures.empty()) << path;
        EXPECT_TRUE(view.last.isNull()) << path;
        server->stopVideo();
    }
    // No "image-uri" at all.
    RecordingLoader loader;
    auto server = CamServer::create();
    server->setCameras(tx::JsonArray{tx::JsonObject{{"name", "C"}}});
    server->setDataManager(&loader);
    server->videoCameraAtIndex(0);
    spinFor(30);
    EXPECT_TRUE(loader.calls.empty());
    server->stopVideo();
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

TEST(Refresh, RestartLeavesOneTimerForTheNewPosition) {
    RecordingLoader loader;
    auto server = serverWithCameras(3, &loader, "200");
    server->videoCameraAtIndex(0);
    server->videoCameraAtIndex(2);
    EXPECT_EQ(server->currentCameraIndex(), 2);
    size_t delivered = 0;
    ASSERT_TRUE(waitUntil([&] {
        while (delivered < loader.calls.size())
            server->updateCamera(loader.calls[delivered++].index, QImage());
        return loader.calls.size() >= 4;
    }));
    for (size_t i = 1; i < loader.calls.size(); ++i) EXPECT_EQ(loader.calls[i].index, 2);
    // A timer left over from the first start would go on ticking here.
    server->stopVideo();
    while (delivered < loader.calls.size())
        server->updateCamera(loader.calls[delivered++].index, QImage());
    const size_t after = loader.calls.size();
    spinFor(100);
    EXPECT_EQ(loader.calls.size(), after);
}

TEST(Refresh, StartFromAWorkerThreadRunsTheTimerOnTheMainThread) {
    RecordingLoader loader;
    auto server = serverWithCameras(2, &loader);
    std::thread worker([&] { server->videoCameraAtIndex(1); });
    ASSERT_TRUE(waitUntil([&] { return server->isRefreshing(); }));
    worker.join();
    EXPECT_EQ(loader.calls.size(), 1u);
    server->stopVideo();
}

TEST(Refresh, ReleasingTheServerOnAWorkerStopsItsTimerSafely) {
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader, "1000");
    server->videoCameraAtIndex(0);
    std::thread worker([s = std::move(server)]() mutable { s.reset(); });
    worker.join();
    spinFor(50);  // a pending tick must find the record gone, not crash
    EXPECT_EQ(loader.calls.size(), 1u);
}

TEST(Refresh, APictureFromAWorkerIsPlacedLaterOnTheMainThreadOrDroppedAtQuit) {
    // The worker hands the picture over without waiting; the view is
    // touched on the main thread only. At quit a picture still on its way
    // is dropped, and with it the hand-over's hold on the server record.
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader);
    class ThreadCheckingView : public FakeImageView {
    public:
        void setPicture(const QImage& image) override {
            offMainThread += QThread::currentThread() != qApp->thread();
            FakeImageView::setPicture(image);
        }
        int offMainThread = 0;
    } view;
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    std::thread([&] { server->updateCamera(0, solid(Qt::red)); }).join();
    EXPECT_TRUE(view.pictures.empty()) << "placed before the main thread ran";
    ASSERT_TRUE(waitUntil([&] { return !view.pictures.empty(); }));
    EXPECT_EQ(view.last.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_EQ(view.offMainThread, 0);

    const std::weak_ptr<CamServer> weak = server;
    std::thread([&] { server->updateCamera(0, solid(Qt::green)); }).join();  // on its way
    MainThreadCall::close();
    server->stopVideo();
    server.reset();
    MainThreadCall::reopen();
    spinFor(50);
    EXPECT_EQ(view.pictures.size(), 1u) << "a picture refused at quit came later";
    EXPECT_TRUE(weak.expired()) << "a dropped hand-over still holds the record";
}

TEST(Refresh, AsksForTheViewsSizeInDevicePixels) {
    struct Case {
        QSizeF points;
        qreal ratio;
        const char* resolution;
    };
    const Case cases[] = {
        {{640.7, 480.2}, 1.0, "640x480"},
        {{320.6, 240.2}, 2.0, "641x480"},
        {{100, 50}, 1.5, "150x75"},
    };
    for (const Case& c : cases) {
        RecordingLoader loader;
        auto server = serverWithCameras(1, &loader);
        FakeImageView view(c.points);
        view.ratio = c.ratio;
        server->getCameras()->at(0)->setCamera(&view);
        server->videoCameraAtIndex(0);
        ASSERT_EQ(loader.calls.size(), 1u);
        EXPECT_EQ(loader.calls[0].resolution, c.resolution);
        server->stopVideo();
    }
}
