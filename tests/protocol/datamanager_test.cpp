// The data manager against scripted servers on loopback: what the delegate
// hears and in what order, what the server receives, cancellation, quitting.

#include <QBuffer>
#include <QImage>

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "mainthreadcall.h"
#include "protocoltestaccess.h"
#include "scriptedserver.h"
#include "testutil.h"
#include "zvdatamanager.h"
#include "zvdatamanagerdelegate.h"

namespace {

using Kind = ScriptedServer::Reply::Kind;
using Reply = ScriptedServer::Reply;

// Records the delegate calls as short texts, from any thread.
class RecordingDelegate : public ZVDataManagerDelegate {
public:
    void camerasDidLoaded(const tx::JsonValue& v) override { add("cameras" + shape(v)); }
    void mikrophonesDidLoaded(const tx::JsonValue& v) override { add("microphones" + shape(v)); }
    void previewsDidLoaded(const tx::JsonValue&) override { add("previews"); }
    void noConnection() override { add("noConnection"); }
    void serverNotConnected() override { add("serverNotConnected"); }
    void badResponse() override { add("badResponse"); }

    std::vector<std::string> events() {
        std::lock_guard l(lock);
        return list;
    }
    bool waitFor(size_t n) {
        std::unique_lock l(lock);
        return changed.wait_for(l, std::chrono::seconds(30), [&] { return list.size() >= n; });
    }

private:
    std::mutex lock;
    static std::string shape(const tx::JsonValue& v) {
        return v.isArray() ? ":" + std::to_string(v.asArray().size()) : ":object";
    }
    void add(std::string e) {
        {
            std::lock_guard l(lock);
            list.push_back(std::move(e));
        }
        changed.notify_all();
    }
    std::vector<std::string> list;
    std::condition_variable changed;
};

std::shared_ptr<CamServer> serverFor(const ScriptedServer& s, const QString& login = "admin",
                                     const QString& password = "secret") {
    auto server = CamServer::create();
    server->setName("Test");
    server->setHost("127.0.0.1");
    server->setPort(QString::number(s.port()));
    server->setLogin(login);
    server->setPassword(password);
    return server;
}

const char* kCameras = R"([{"name":"Gate","uri":"/cameras/0","image-uri":"/cameras/0/image"},)"
                       R"({"name":"Yard","uri":"/cameras/1","image-uri":"/cameras/1/image"}])";

// Answers the two lists with the given replies and pictures with a JPEG.
ScriptedServer::Script lists(Reply microphones, Reply cameras = ScriptedServer::json(kCameras)) {
    return [=](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return microphones;
        if (r.target == "/cameras") return cameras;
        return ScriptedServer::json("", 404);
    };
}

std::vector<std::string> targets(const ScriptedServer& s) {
    std::vector<std::string> out;
    for (const auto& r : s.requests()) out.push_back(r.target);
    return out;
}

std::string jpeg(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 60);
    return bytes.toStdString();
}

Reply withBody(std::string body, std::string type = "application/json") {
    Reply r = ScriptedServer::json(std::move(body));
    r.contentType = std::move(type);
    return r;
}

}  // namespace

TEST(DataManager, LoadsMicrophonesThenCamerasWithTheListHeaders) {
    ScriptedServer http(lists(ScriptedServer::json("[]")));
    RecordingDelegate delegate;
    auto server = serverFor(http);
    ZVDataManager dm(server);
    EXPECT_EQ(server->dataManager(), &dm);
    dm.setDelegate(&delegate);
    dm.loadCameras();
    ASSERT_TRUE(delegate.waitFor(2));
    EXPECT_EQ(delegate.events(), (std::vector<std::string>{"microphones:0", "cameras:2"}));
    EXPECT_EQ(targets(http), (std::vector<std::string>{"/microphones", "/cameras"}));
    for (const auto& r : http.requests()) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.headers.at("authorization"),
                  "Basic " + QByteArray("admin:secret").toBase64().toStdString());
        EXPECT_EQ(r.headers.at("accept"), "application/json");
        EXPECT_EQ(r.headers.at("content-type"), "application/json");
    }
}

TEST(DataManager, AnswersDecideWhatTheDelegateHears) {
    // A failed microphone list ends the load: the cameras are not asked for.
    struct Case {
        const char* what;
        Reply reply;
        std::vector<std::string> events;
        bool camerasFail = false;
    } cases[] = {
        {"401 with a JSON list",
         ScriptedServer::json(R"([{"name":"m"}])", 401),
         {"microphones:1", "cameras:2"}},
        {"an object", ScriptedServer::json(R"({"a":1})"), {"microphones:object", "cameras:2"}},
        {"raw control characters",
         withBody("[\n\t{\"name\" :\r\n \"a\tb\"}\x01]"),
         {"microphones:1", "cameras:2"}},
        {"reset", ScriptedServer::of(Kind::Reset), {"serverNotConnected"}},
        {"stall past the timeout", ScriptedServer::of(Kind::Stall), {"serverNotConnected"}},
        {"endless body", ScriptedServer::of(Kind::Endless), {"serverNotConnected"}},
        {"HTML", withBody("<html><body>Error</body></html>", "text/html"), {"badResponse"}},
        {"empty body", withBody(""), {"badResponse"}},
        {"null", withBody("null"), {"badResponse"}},
        {"42", withBody("42"), {"badResponse"}},
        {"broken JSON", withBody("[1,"), {"badResponse"}},
        {"invalid UTF-8", withBody("[\"\xff\xfe\"]"), {"badResponse"}},
        {"last character cut short", withBody("[]\xc3"), {"badResponse"}},
        {"cameras reset",
         ScriptedServer::of(Kind::Reset),
         {"microphones:0", "serverNotConnected"},
         true},
        {"cameras HTML", withBody("<html/>"), {"microphones:0", "badResponse"}, true},
        {"cameras a string", withBody("\"text\""), {"microphones:0", "badResponse"}, true},
    };
    for (const Case& c : cases) {
        ScriptedServer http(c.camerasFail ? lists(ScriptedServer::json("[]"), c.reply)
                                          : lists(c.reply));
        RecordingDelegate delegate;
        ZVDataManager dm(serverFor(http));
        ZVDataManagerTestAccess::setRequestTimeoutMs(dm, 400);
        dm.setDelegate(&delegate);
        dm.loadCameras();
        ASSERT_TRUE(delegate.waitFor(c.events.size())) << c.what;
        // Give a wrongly asked camera list the chance to show up.
        if (c.events.size() == 1) spinFor(100);
        EXPECT_EQ(delegate.events(), c.events) << c.what;
        const size_t expectedRequests = c.events.size() == 1 ? 1 : 2;
        EXPECT_EQ(http.requests().size(), expectedRequests) << c.what;
    }
}

TEST(DataManager, CredentialsAreSentAsUtf8OnOneLine) {
    struct Case {
        QString login, password;
    } cases[] = {
        {"admin", ""},
        {"José", "пароль"},
        {"a-user-name-that-is-rather-long", "and-a-password-that-is-longer-than-forty-eight-bytes"},
    };
    for (const Case& c : cases) {
        ScriptedServer http(lists(ScriptedServer::json("[]")));
        auto server = serverFor(http, c.login, c.password);
        const std::string expected =
            "Basic " + (c.login + ":" + c.password).toUtf8().toBase64().toStdString();
        EXPECT_EQ(ZVDataManager::authorizationHeader(*server), "Authorization: " + expected);
        RecordingDelegate delegate;
        ZVDataManager dm(server);
        dm.setDelegate(&delegate);
        dm.loadCameras();
        ASSERT_TRUE(delegate.waitFor(2));
        EXPECT_EQ(http.requests().at(0).headers.at("authorization"), expected);
    }
}

TEST(DataManager, PictureRequestAndDelivery) {
    // A server that ignores the asked size: the picture is decoded at the
    // view's size all the same (1/4 of 1280x960).
    const std::string picture = jpeg(1280, 960);
    ScriptedServer http([&](const auto& r) {
        if (r.target.rfind("/cameras/1/image", 0) == 0) return withBody(picture, "image/jpeg");
        return ScriptedServer::json("", 404);
    });
    auto server = serverFor(http);
    server->setCameras(tx::JsonValue(
        tx::JsonArray{tx::JsonObject{{"name", "a"}, {"image-uri", "/cameras/0/image"}},
                      tx::JsonObject{{"name", "b"}, {"image-uri", "/cameras/1/image"}}}));
    server->setFps("2");
    ZVDataManager dm(server);
    FakeImageView view({320.6, 240.2});
    CameraView* camera = server->getCameras()->at(1).get();
    camera->setCamera(&view);
    server->videoCameraAtIndex(1);
    ASSERT_TRUE(waitUntil([&] { return !view.pictures.empty(); }));
    EXPECT_EQ(view.last.size(), QSize(320, 240));
    const auto reqs = http.requests();
    ASSERT_GE(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].target, "/cameras/1/image?resolution=320x240&quality=60");
    EXPECT_EQ(reqs[0].headers.count("accept"), 0u);
    EXPECT_EQ(reqs[0].headers.count("content-type"), 0u);
    EXPECT_EQ(reqs[0].headers.count("authorization"), 1u);
    // Plain substitution, once: percent signs in a path stay as they are.
    EXPECT_EQ(ZVDataManager::pictureUrl(*server, "/a%5Fb/%1", "1x2"),
              http.base() + "/a%5Fb/%1?resolution=1x2&quality=60");

    // An undecodable picture clears the view.
    http.setScript([](const auto&) { return withBody("not a picture", "image/jpeg"); });
    ASSERT_TRUE(waitUntil([&] { return view.last.isNull(); }));
    server->stopVideo();
}

TEST(DataManager, LoadCancelsAQueuedPictureJobAndReopensItsGate) {
    ScriptedServer http(lists(ScriptedServer::json("[]")));
    auto server = serverFor(http);
    server->setCameras(
        tx::JsonValue(tx::JsonArray{tx::JsonObject{{"image-uri", "/cameras/0/image"}}}));
    CameraView* camera = server->getCameras()->at(0).get();
    FakeImageView view;
    camera->setCamera(&view);
    RecordingDelegate delegate;
    ZVDataManager dm(server);
    dm.setDelegate(&delegate);

    ZVDataManagerTestAccess::setQueueSuspended(dm, true);
    camera->setCanLoadNext(false);  // as a tick does before asking
    dm.loadCameraIndex(0, camera->imageUri, "640x480");
    dm.loadCameras();
    EXPECT_TRUE(camera->canLoadNext()) << "a cancelled picture job must not freeze the camera";
    EXPECT_TRUE(view.pictures.empty()) << "the view is not touched";
    ZVDataManagerTestAccess::setQueueSuspended(dm, false);
    ASSERT_TRUE(delegate.waitFor(2));
    spinFor(100);
    EXPECT_EQ(targets(http), (std::vector<std::string>{"/microphones", "/cameras"}));
}

TEST(DataManager, ASecondLoadWhileOneRunsStillReportsBoth) {
    std::atomic<int> micRequests{0};
    ScriptedServer http([&](const auto& r) {
        if (r.target == "/microphones") {
            Reply reply = ScriptedServer::json("[]");
            if (micRequests++ == 0) reply.delayMs = 300;  // the first load is slow
            return reply;
        }
        return ScriptedServer::json(kCameras);
    });
    RecordingDelegate delegate;
    ZVDataManager dm(serverFor(http));
    dm.setDelegate(&delegate);
    dm.loadCameras();
    ASSERT_TRUE(http.waitForRequests(1));
    dm.loadCameras();
    ASSERT_TRUE(delegate.waitFor(4));
    auto events = delegate.events();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{"cameras:2", "cameras:2", "microphones:0",
                                                "microphones:0"}));
}

TEST(DataManager, ReportsOfAServerLeftBehindAreDropped) {
    ScriptedServer slow([](const auto&) {
        Reply r = ScriptedServer::json("[]");
        r.delayMs = 300;
        return r;
    });
    ScriptedServer fast(lists(ScriptedServer::json("[]")));
    auto first = serverFor(slow);
    auto second = serverFor(fast);
    RecordingDelegate delegate;
    ZVDataManager dm(first);
    dm.setDelegate(&delegate);
    dm.loadCameras();
    ASSERT_TRUE(slow.waitForRequests(1));
    dm.setCurrentServer(second);
    EXPECT_EQ(dm.currentServer(), second);
    dm.loadCameras();
    ASSERT_TRUE(delegate.waitFor(2));
    spinFor(600);  // the slow answer arrives meanwhile and must stay unheard
    EXPECT_EQ(delegate.events(), (std::vector<std::string>{"microphones:0", "cameras:2"}));
    EXPECT_EQ(slow.requests().size(), 1u) << "the left server's cameras are not asked";
}

TEST(DataManager, ShutdownEndsEveryStalledRequestAndReleasesAWaitingWorker) {
    // A list load and a picture both stalled: both must end at once, not at
    // the 25 s timeout. The gate to the main thread is left open, as a
    // careless shutdown order would leave it.
    ScriptedServer http([](const auto&) { return ScriptedServer::of(Kind::Stall); });
    auto server = serverFor(http);
    server->setCameras(tx::JsonValue(tx::JsonArray{tx::JsonObject{{"image-uri", "/i"}}}));
    FakeImageView view;
    server->getCameras()->at(0)->setCamera(&view);
    RecordingDelegate delegate;
    QElapsedTimer clock;
    {
        ZVDataManager dm(server);
        dm.setDelegate(&delegate);
        dm.loadCameraIndex(0, "/i", "1x1");
        dm.loadCameras();
        ASSERT_TRUE(http.waitForRequests(2));
        clock.start();
        dm.shutdown();
        EXPECT_LT(clock.elapsed(), 5000) << "a stalled request was not woken";
        dm.loadCameras();  // refused after shutdown
    }
    spinFor(50);
    EXPECT_TRUE(delegate.events().empty());
    EXPECT_TRUE(view.pictures.empty());
    EXPECT_EQ(http.requests().size(), 2u);

    // A worker already waiting for the main thread when shutdown begins.
    ScriptedServer lists200(lists(ScriptedServer::json("[]")));
    struct Blocking : RecordingDelegate {
        std::atomic<bool> waiting{false};
        void mikrophonesDidLoaded(const tx::JsonValue&) override {
            waiting = true;
            MainThreadCall::run([] {});  // the main thread is not looking
        }
    } blocking;
    {
        ZVDataManager dm(serverFor(lists200));
        dm.setDelegate(&blocking);
        dm.loadCameras();
        QElapsedTimer t;
        t.start();
        while (!blocking.waiting && t.elapsed() < 30000) QThread::msleep(1);
        ASSERT_TRUE(blocking.waiting);
        dm.shutdown();  // would deadlock joining the waiting worker
    }
    EXPECT_TRUE(MainThreadCall::run([] {})) << "the gate is open again after the join";
}

TEST(DataManager, AddressesThatCouldReachAnotherHostAskNothing) {
    ScriptedServer http(lists(ScriptedServer::json("[]")));
    struct Case {
        QString host, port;
    } lists[] = {
        {"127.0.0.1", ""},       {"127.0.0.1", "80 80"}, {"127.0.0.1", "1818/x"},
        {"127.0.0.1", "x@evil"}, {"127.0.0.1", "18:18"}, {"127.0.0.1", "abc"},
        {"127.0.0.1", "70000"},  {"", "1818"},           {"evil@127.0.0.1", "1818"},
        {"127.0.0.1/x", "1818"}, {"127.0.0.1 ", "1818"}, {"evil:1#", "1818"},
    };
    for (const Case& c : lists) {
        auto server = serverFor(http);
        server->setHost(c.host);
        server->setPort(c.port);
        EXPECT_EQ(ZVDataManagerTestAccess::listUrl(*server, "/cameras"), std::nullopt)
            << c.host.toStdString() << " " << c.port.toStdString();
        RecordingDelegate delegate;
        ZVDataManager dm(server);
        dm.setDelegate(&delegate);
        dm.loadCameras();
        ASSERT_TRUE(delegate.waitFor(1));
        EXPECT_EQ(delegate.events(), std::vector<std::string>{"serverNotConnected"});
    }
    auto server = serverFor(http);
    for (const QString path : {"", "@other-host:9/x", "//other-host/x", "x", "/a\\b", "/a b"})
        EXPECT_EQ(ZVDataManager::pictureUrl(*server, path, "1x1"), std::nullopt)
            << path.toStdString();
    EXPECT_TRUE(http.requests().empty());
}
