// SPDX-License-Identifier: GPL-3.0-or-later
// The data manager against scripted servers on loopback: what the delegate
// hears and in what order, what the server receives, cancellation, quitting.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "TXJSON.h"
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
using Events = std::vector<std::string>;

// Records the delegate calls as short texts, from any thread.
class RecordingDelegate : public ZVDataManagerDelegate {
public:
    void camerasDidLoaded(const tx::JsonValue& v) override { add("cameras" + shape(v)); }
    void mikrophonesDidLoaded(const tx::JsonValue& v) override { add("microphones" + shape(v)); }
    void previewsDidLoaded(const tx::JsonValue&) override { add("previews"); }
    void noConnection() override { add("noConnection"); }
    void serverNotConnected() override { add("serverNotConnected"); }
    void badResponse() override { add("badResponse"); }
    Events events() {
        std::lock_guard l(lock);
        return list;
    }

private:
    static std::string shape(const tx::JsonValue& v) {
        return v.isArray() ? ":" + std::to_string(v.asArray().size()) : ":object";
    }
    void add(std::string e) {
        std::lock_guard l(lock);
        list.push_back(std::move(e));
    }
    std::mutex lock;
    Events list;
};

const char* kCameras = R"([{"name":"Gate","image-uri":"/cameras/0/image"},)"
                       R"({"name":"Yard","image-uri":"/cameras/1/image"}])";

// A record of the server s; with a view, it has the two cameras and the
// view shows camera index.
std::shared_ptr<CamServer> serverFor(const ScriptedServer& s, FakeImageView* view = nullptr,
                                     int index = 0, const QString& login = "admin",
                                     const QString& password = "secret") {
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(s.port()));
    server->setLogin(login);
    server->setPassword(password);
    if (view) server->setCameras(*tx::TXJSON().objectWithString(kCameras));
    if (view) server->getCameras()->at(index)->setCamera(view);
    return server;
}

// Answers the two lists with the given replies, anything else with 404.
ScriptedServer::Script lists(Reply microphones = ScriptedServer::json("[]"),
                             Reply cameras = ScriptedServer::json(kCameras)) {
    return [=](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return microphones;
        if (r.target == "/cameras") return cameras;
        return ScriptedServer::json("", 404);
    };
}

}  // namespace

TEST(DataManager, LoadsMicrophonesThenCamerasAndTheAnswersDecideWhatTheDelegateHears) {
    // A failed microphone list ends the load: the cameras are not asked for.
    // (Which answers are no answer is the HTTP client's table, which texts
    // are JSON the JSON suite's.) Credentials go as UTF-8, on one line.
    // host: instead of the scripted server's.
    // clang-format off
    struct Case { const char* what; Reply reply; Events events; bool camerasFail = false;
                  QString login = "admin", password = "secret"; const char* host = nullptr; };
    const Case cases[] = {
        // Base64 of more than 57 bytes, which a MIME encoder would break.
        {"long UTF-8 credentials", ScriptedServer::json("[]"), {"microphones:0", "cameras:2"}, false, "José", "пароль-and-a-password-longer-than-forty-eight-bytes"},
        {"401 with a JSON list", ScriptedServer::json(R"([{"n":1}])", 401), {"microphones:1", "cameras:2"}},
        {"an object", ScriptedServer::json(R"({"a":1})"), {"microphones:object", "cameras:2"}},
        {"raw control characters", ScriptedServer::json("[\n\t{\"name\" :\r\n \"a\tb\"}\x01]"), {"microphones:1", "cameras:2"}},
        {"the last control character dropped", ScriptedServer::json("[\"a\x1f\"]"), {"microphones:1", "cameras:2"}},
        {"reset", ScriptedServer::of(Kind::Reset), {"serverNotConnected"}},
        {"HTML", ScriptedServer::json("<html><body>Error</body></html>"), {"badResponse"}},
        {"42", ScriptedServer::json("42"), {"badResponse"}},
        {"broken JSON", ScriptedServer::json("[1,"), {"badResponse"}},
        {"cameras reset", ScriptedServer::of(Kind::Reset), {"microphones:0", "serverNotConnected"}, true},
        {"cameras HTML", ScriptedServer::json("<html/>"), {"microphones:0", "badResponse"}, true},
        // Which addresses are refused is the model's ServerUrl rule; here, that nothing is asked.
        {"a host that could reach another host", ScriptedServer::json("[]"), {"serverNotConnected"}, false, "admin", "secret", "evil@127.0.0.1"},
    };
    // clang-format on
    for (const Case& c : cases) {
        ScriptedServer http(c.camerasFail ? lists(ScriptedServer::json("[]"), c.reply)
                                          : lists(c.reply));
        auto server = serverFor(http, nullptr, 0, c.login, c.password);
        if (c.host) server->setHost(c.host);
        RecordingDelegate delegate;
        ZVDataManager dm(server);
        ZVDataManagerTestAccess::setRequestTimeoutMs(dm, 400);
        dm.setDelegate(&delegate);
        dm.loadCameras();
        EXPECT_TRUE(waitUntil([&] { return delegate.events().size() >= c.events.size(); }));
        if (c.events.size() == 1) spinFor(100);  // room for a camera list wrongly asked
        EXPECT_EQ(delegate.events(), c.events) << c.what;
        // Each request as "method target authorization accept content-type".
        Events seen;
        for (const auto& r : http.requests())
            seen.push_back(r.method + " " + r.target + " " + r.headers.at("authorization") + " " +
                           r.headers.at("accept") + " " + r.headers.at("content-type"));
        const std::string rest = " Basic " +
                                 (c.login + ":" + c.password).toUtf8().toBase64().toStdString() +
                                 " application/json application/json";
        Events asked{"GET /microphones" + rest, "GET /cameras" + rest};
        asked.resize(c.host ? 0 : c.events.size() == 1 ? 1 : 2);
        EXPECT_EQ(seen, asked) << c.what;
    }
}

TEST(DataManager, PictureRequestAndDelivery) {
    // A server that ignores the asked size: the picture is decoded at the
    // view's size all the same (1/4 of 1280x960).
    const std::string picture = jpegOf({1280, 960});
    ScriptedServer http([&](const auto&) { return ScriptedServer::json(picture); });
    FakeImageView view({320.6, 240.2});
    auto server = serverFor(http, &view, 1);
    server->setFps("2");
    ZVDataManager dm(server);
    server->videoCameraAtIndex(1);
    ASSERT_TRUE(waitUntil([&] { return !view.pictures.empty(); }));
    EXPECT_EQ(view.last.size(), QSize(320, 240));
    const auto request = http.requests().at(0);
    EXPECT_EQ(request.target, "/cameras/1/image?resolution=320x240&quality=60");
    const auto& h = request.headers;  // credentials only
    EXPECT_EQ(std::tuple(h.count("accept"), h.count("content-type"), h.count("authorization")),
              std::tuple(0u, 0u, 1u));
    // Plain substitution, once: percent signs in a path stay as they are.
    EXPECT_EQ(ZVDataManager::pictureUrl(*server, "/a%5Fb/%1", "1x2"),
              http.base() + "/a%5Fb/%1?resolution=1x2&quality=60");
    EXPECT_EQ(ZVDataManager::pictureUrl(*server, "//other-host/x", "1x1"), std::nullopt);

    // An undecodable picture clears the view.
    http.setScript([](const auto&) { return ScriptedServer::json("not a picture"); });
    ASSERT_TRUE(waitUntil([&] { return view.last.isNull(); }));
    server->stopVideo();
}

TEST(DataManager, ASecondLoadReportsButALeftServerIsUnheard) {
    // The first server's lists are slow. A second load while the first runs
    // still reports; a server left meanwhile reports nothing more.
    for (const bool switchServer : {false, true}) {
        ScriptedServer slow([](const auto&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return ScriptedServer::json("[]");
        });
        ScriptedServer fast(lists());
        RecordingDelegate delegate;
        ZVDataManager dm(serverFor(slow));
        dm.setDelegate(&delegate);
        dm.loadCameras();
        ASSERT_TRUE(slow.waitForRequests(1));
        if (switchServer) dm.setCurrentServer(serverFor(fast));
        dm.loadCameras();
        const Events expected =
            switchServer ? Events{"cameras:2", "microphones:0"}
                         : Events{"cameras:0", "cameras:0", "microphones:0", "microphones:0"};
        ASSERT_TRUE(waitUntil([&] { return delegate.events().size() >= expected.size(); }));
        spinFor(700);  // the slow answers arrive meanwhile
        auto events = delegate.events();
        std::sort(events.begin(), events.end());
        EXPECT_EQ(events, expected);
        EXPECT_EQ(slow.requests().size(), switchServer ? 1u : 4u);
    }
}

TEST(DataManager, ShutdownEndsStalledRequestsAndReleasesAWaitingWorker) {
    // A stalled picture, and a list load whose worker waits for the main
    // thread (which is not looking) when shutdown begins: shutdown aborts the
    // one (the abort itself is the HTTP client's, see HttpClient.AbortEnds...),
    // releases the other instead of deadlocking in the join, and drops a
    // picture job not yet started.
    ScriptedServer http([](const ScriptedServer::Request& r) {
        return r.target == "/microphones" ? ScriptedServer::json("[]")
                                          : ScriptedServer::of(Kind::Stall);
    });
    FakeImageView view;
    auto server = serverFor(http, &view, 0);
    struct Blocking : RecordingDelegate {
        std::atomic<bool> waiting{false};
        void mikrophonesDidLoaded(const tx::JsonValue&) override {
            waiting = true;
            MainThreadCall::run([] {});
        }
    } delegate;
    {
        ZVDataManager dm(server);
        dm.setDelegate(&delegate);
        dm.loadCameraIndex(0, "/i", "1x1");
        dm.loadCameras();
        ASSERT_TRUE(http.waitForRequests(2));
        for (int i = 0; i < 30000 && !delegate.waiting; ++i) QThread::msleep(1);
        ASSERT_TRUE(delegate.waiting);
        // A picture job dropped before it ran must not leave its camera's
        // gate closed, or the picture would freeze.
        ZVDataManagerTestAccess::setQueueSuspended(dm, true);
        server->getCameras()->at(0)->setCanLoadNext(false);  // as a tick does before asking
        dm.loadCameraIndex(0, "/i", "1x1");
        dm.shutdown();     // the 25 s timeout if the requests were not aborted
        dm.loadCameras();  // refused after shutdown
        EXPECT_TRUE(server->getCameras()->at(0)->canLoadNext());
    }
    spinFor(50);
    EXPECT_TRUE(delegate.events().empty());
    EXPECT_TRUE(view.pictures.empty());
    EXPECT_EQ(http.requests().size(), 2u);
    EXPECT_TRUE(MainThreadCall::run([] {})) << "the gate is open again after the join";
}
