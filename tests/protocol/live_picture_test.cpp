// The picture refresh driven end to end: data manager, timer, gate and view,
// against the demo server and a slow scripted server on loopback.

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "demoserver.h"
#include "mainthreadcall.h"
#include "scriptedserver.h"
#include "testutil.h"
#include "zvdatamanager.h"
#include "zvdatamanagerdelegate.h"

namespace {

// Does what the application controller does with the lists: hand them to the
// server and show camera 0 in the view, on the main thread.
class ShowFirstCamera : public ZVDataManagerDelegate {
public:
    ShowFirstCamera(std::shared_ptr<CamServer> s, CameraImageView* v)
        : server(std::move(s)), view(v) {}
    void camerasDidLoaded(const tx::JsonValue& list) override {
        server->setCameras(list);
        MainThreadCall::run([&] {
            auto cameras = server->getCameras();
            if (cameras->empty()) return;
            cameras->at(0)->setCamera(view);
            server->videoCameraAtIndex(0);
        });
    }
    void mikrophonesDidLoaded(const tx::JsonValue& list) override { server->setMicrophones(list); }
    void previewsDidLoaded(const tx::JsonValue&) override {}
    void noConnection() override {}
    void serverNotConnected() override { failures++; }
    void badResponse() override { failures++; }

    std::shared_ptr<CamServer> server;
    CameraImageView* view;
    std::atomic<int> failures{0};
};

// A server record for a server on loopback at port.
std::shared_ptr<CamServer> recordFor(int port, const char* fps) {
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(fps);
    return server;
}

// Stops the refresh and the data manager as the application does at quit.
void stopAll(CamServer& server, ZVDataManager& dm) {
    server.stopVideo();
    MainThreadCall::close();
    dm.shutdown();
    MainThreadCall::reopen();
}

}  // namespace

TEST(LivePicture, DemoServerPicturesReachTheViewAtItsSize) {
    DemoServer demo({"127.0.0.1", 0, "admin", "", 0});
    ASSERT_TRUE(demo.start()) << demo.errorString();
    auto server = recordFor(demo.port(), "25");
    FakeImageView view({400.9, 300.2});
    ShowFirstCamera delegate(server, &view);
    {
        ZVDataManager dm(server);
        dm.setDelegate(&delegate);
        dm.loadCameras();
        ASSERT_TRUE(waitUntil([&] { return view.pictures.size() >= 3 || delegate.failures > 0; }));
        EXPECT_EQ(delegate.failures, 0);
        stopAll(*server, dm);
    }
    ASSERT_GE(server->getCameras()->size(), 4u);
    EXPECT_FALSE(server->getMicrophones()->empty());
    for (const QImage& picture : view.pictures) EXPECT_EQ(picture.size(), QSize(400, 300));
    EXPECT_NE(view.pictures[0], view.pictures[2]) << "the picture is live";
}

TEST(LivePicture, NeverTwoPictureRequestsInFlight) {
    std::atomic<int> inFlight{0}, maxInFlight{0}, pictures{0};
    QImage small(8, 6, QImage::Format_RGB32);
    small.fill(Qt::gray);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "JPG");
    ScriptedServer http([&](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json("[]");
        if (r.target == "/cameras")
            return ScriptedServer::json(R"([{"name":"a","image-uri":"/p"}])");
        const int now = ++inFlight;
        int seen = maxInFlight;
        while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
        }
        // The answer leaves when the script returns: hold it back here, so
        // that a second request sent meanwhile would overlap this one.
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        --inFlight;
        ++pictures;
        return ScriptedServer::json(jpeg.toStdString());
    });
    auto server = recordFor(http.port(), "1000");
    FakeImageView view;
    ShowFirstCamera delegate(server, &view);
    ZVDataManager dm(server);
    dm.setDelegate(&delegate);
    dm.loadCameras();
    ASSERT_TRUE(waitUntil([&] { return view.pictures.size() >= 20; }));
    stopAll(*server, dm);
    EXPECT_EQ(maxInFlight.load(), 1);
    // Every request was delivered to the view before the next one was sent.
    EXPECT_LE(static_cast<size_t>(pictures.load()), view.pictures.size() + 1);
}

TEST(LivePicture, AShownPictureIsNeverOverwrittenByTheNext) {
    // Picture buffers are reused between pictures: the one a view still
    // holds must stay as it was when it arrived, while later ones are decoded.
    class CheckingView : public CameraImageView {
    public:
        void setPicture(const QImage& image) override {
            if (!shown.isNull() && shown != shownCopy) ++overwritten;
            shown = image;
            shownCopy = image.copy();  // a deep copy, never shared
            ++count;
        }
        QSizeF boundsSize() const override { return {160, 120}; }
        void setDelegate(CameraView*) override {}
        QImage shown, shownCopy;
        int count = 0, overwritten = 0;
    };
    DemoServer demo({"127.0.0.1", 0, "admin", "", 0});
    ASSERT_TRUE(demo.start()) << demo.errorString();
    auto server = recordFor(demo.port(), "1000");
    CheckingView view;
    ShowFirstCamera delegate(server, &view);
    ZVDataManager dm(server);
    dm.setDelegate(&delegate);
    dm.loadCameras();
    ASSERT_TRUE(waitUntil([&] { return view.count >= 20; }));
    stopAll(*server, dm);
    EXPECT_EQ(view.overwritten, 0);
    EXPECT_EQ(view.shown, view.shownCopy);
}
