// The live picture refresh: rate, request gate, delivery to the view.

#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
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

QImage solid(QColor c) {
    QImage img(8, 6, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

}  // namespace

TEST(RefreshRate, IntervalFromTheLeadingIntegerOfFps) {
    struct Case {
        const char* fps;
        int ms;
    } cases[] = {
        {"", 125},     {"0", 125},   {"abc", 125},  {"8", 125},
        {"12fps", 83}, {" 5", 200},  {"25", 40},    {"60", 17},
        {"+10", 100},  {"-4", 125},  {"100000", 1}, {"99999999999999999999", 1},
        {"1", 1000},   {"2.9", 500},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CamServer::refreshIntervalMs(c.fps), c.ms) << '"' << c.fps << '"';
    EXPECT_EQ(CamServer::refreshIntervalMs(QString()), 125) << "absent fps";
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

TEST(Refresh, TheTimerRunsAtTheConfiguredRate) {
    RecordingLoader loader;
    auto server = serverWithCameras(1, &loader, "50");
    FakeImageView view;
    CameraView* camera = server->getCameras()->at(0).get();
    camera->setCamera(&view);
    server->videoCameraAtIndex(0);
    // Deliver each picture at once: every tick then asks for one more.
    size_t delivered = 0;
    ASSERT_TRUE(waitUntil([&] {
        while (delivered < loader.calls.size()) {
            ++delivered;
            server->updateCamera(0, QImage());
        }
        return loader.calls.size() >= 6;
    }));
    server->stopVideo();
    const size_t after = loader.calls.size();
    spinFor(100);
    EXPECT_EQ(loader.calls.size(), after) << "no tick after stopVideo";
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
