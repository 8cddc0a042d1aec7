// The camera wall's fetcher, alone and under the page refresh, against
// scripted servers on loopback: what it sends, what each answer becomes,
// how many requests are in flight, and what paging and a server change stop.

#include <QBuffer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "demoserver.h"
#include "scriptedserver.h"
#include "testutil.h"
#include "wallfetcher.h"
#include "wallrefresh.h"

namespace {

std::string jpeg(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes.toStdString();
}

// The camera number in a target such as "/c/12?resolution=...".
int cameraOf(const std::string& target) {
    return std::atoi(target.c_str() + 3);
}

// A server record for port with cameras "/c/0" ... "/c/<count - 1>".
std::shared_ptr<CamServer> recordFor(int port, int count, const char* fps = "1000") {
    tx::JsonArray list;
    for (int i = 0; i < count; ++i)
        list.push_back(tx::JsonObject{{"name", "Camera " + std::to_string(i)},
                                      {"image-uri", "/c/" + std::to_string(i)}});
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("secret");
    server->setFps(fps);
    server->setCameras(list);
    return server;
}

// Counts the requests that the server is working on, in all and by camera,
// and the most of each seen at once. The answer is held back for holdMs
// inside the count, and each camera's picture is (16 + camera) pixels wide,
// so a picture tells which camera it is of.
struct SlowPictures {
    explicit SlowPictures(int holdMs) : holdMs(holdMs) {}
    ScriptedServer::Reply operator()(const ScriptedServer::Request& r) {
        const int camera = cameraOf(r.target);
        {
            std::lock_guard l(lock);
            maxTotal = std::max(maxTotal, ++total);
            maxPerCamera = std::max(maxPerCamera, ++perCamera[camera]);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        {
            std::lock_guard l(lock);
            --total;
            --perCamera[camera];
        }
        ScriptedServer::Reply reply;
        reply.contentType = "image/jpeg";
        reply.body = jpeg({16 + camera, 8});
        return reply;
    }
    const int holdMs;
    std::mutex lock;
    int total = 0, maxTotal = 0, maxPerCamera = 0;
    std::map<int, int> perCamera;
};

int requestsFor(const ScriptedServer& server, int camera) {
    int n = 0;
    for (const auto& r : server.requests()) n += cameraOf(r.target) == camera;
    return n;
}

}  // namespace

TEST(WallFetcher, EachAnswerBecomesAPictureOrAFailedOne) {
    struct Case {
        const char* name;
        ScriptedServer::Reply reply;
        QSize expected;  // invalid: a failed picture (null image)
    };
    ScriptedServer::Reply picture;
    picture.contentType = "image/jpeg";
    picture.body = jpeg({40, 30});
    ScriptedServer::Reply notFound = picture;
    notFound.status = 404;
    ScriptedServer::Reply tooLong = picture;
    tooLong.body = std::string(5000, 'x');
    const Case cases[] = {
        {"picture", picture, {40, 30}},
        {"status not looked at", notFound, {40, 30}},
        {"not a picture", ScriptedServer::json("<html>"), {}},
        {"over the body cap", tooLong, {}},
        {"connection reset", ScriptedServer::of(ScriptedServer::Reply::Kind::Reset), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer http([&](const ScriptedServer::Request&) { return c.reply; });
        WallFetcher::Options options;
        options.maxPictureBytes = 4096;
        WallFetcher fetcher(recordFor(http.port(), 1), options);
        std::optional<QImage> got;
        fetcher.requestPicture(0, "/c/0", {400, 300},
                               [&](const CameraPicture& p) { got = p.image; });
        ASSERT_TRUE(waitUntil([&] { return got.has_value(); }));
        EXPECT_EQ(got->isNull() ? QSize() : got->size(), c.expected);
        const auto requests = http.requests();
        ASSERT_EQ(requests.size(), 1u);
        // The data manager's picture request: credentials, and nothing else asked.
        EXPECT_EQ(requests[0].target, "/c/0?resolution=400x300&quality=60");
        EXPECT_EQ(requests[0].headers.at("authorization"), "Basic YWRtaW46c2VjcmV0");
        EXPECT_EQ(requests[0].headers.count("accept"), 0u);
    }
}

TEST(WallFetcher, SixteenCellsKeepOneRequestPerCameraInFlight) {
    SlowPictures slow(60);
    ScriptedServer http(std::ref(slow));
    auto server = recordFor(http.port(), 16);
    std::vector<std::unique_ptr<FakeImageView>> views;
    std::vector<WallRefresh::Cell> cells;
    for (int i = 0; i < 16; ++i) {
        views.push_back(std::make_unique<FakeImageView>(QSizeF(160, 120)));
        cells.push_back({i, views.back().get()});
    }
    WallFetcher fetcher(server);
    WallRefresh wall(server, &fetcher);
    wall.showPage(cells);
    // At 1000 per second asked and 60 ms an answer, each camera always has
    // a request waiting to leave: only the gate holds them back.
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(views.begin(), views.end(),
                           [](const auto& v) { return v->pictures.size() >= 3; });
    }));
    wall.stop();
    std::lock_guard l(slow.lock);
    EXPECT_EQ(slow.maxPerCamera, 1);
    EXPECT_LE(slow.maxTotal, 16);
    // They really run side by side, not one after another.
    EXPECT_GE(slow.maxTotal, 2);
    for (int i = 0; i < 16; ++i) {
        for (const QImage& p : views[i]->pictures) EXPECT_EQ(p.width(), 16 + i) << i;
    }
}

TEST(WallFetcher, PagingAndServerChangesStopTheCamerasThatLeft) {
    struct Case {
        const char* name;
        bool destroy;  // a server change: the fetcher and the refresh go
    };
    for (const Case c : {Case{"paging", false}, Case{"server change", true}}) {
        SCOPED_TRACE(c.name);
        SlowPictures slow(300);
        ScriptedServer http(std::ref(slow));
        auto server = recordFor(http.port(), 8);
        FakeImageView views[4];
        auto fetcher = std::make_unique<WallFetcher>(server);
        auto wall = std::make_unique<WallRefresh>(server, fetcher.get());
        wall->showPage({{0, &views[0]}, {1, &views[1]}, {2, &views[2]}, {3, &views[3]}});
        ASSERT_TRUE(http.waitForRequests(4));
        // While those four answers are on their way:
        if (c.destroy) {
            wall.reset();
            fetcher.reset();
        } else {
            wall->showPage({{4, &views[0]}, {5, &views[1]}, {6, &views[2]}, {7, &views[3]}});
        }
        if (!c.destroy) {
            ASSERT_TRUE(waitUntil([&] {
                return std::all_of(std::begin(views), std::end(views),
                                   [](const auto& v) { return !v.pictures.empty(); });
            }));
        }
        // Long enough for the old answers to come and their cameras to ask again.
        spinFor(700);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(requestsFor(http, i), 1) << i;
            for (const QImage& p : views[i].pictures) EXPECT_EQ(p.width(), 16 + 4 + i) << i;
            EXPECT_EQ(views[i].pictures.empty(), c.destroy) << i;
        }
    }
}

TEST(WallFetcher, DestroyingItEndsStalledRequestsAtOnce) {
    ScriptedServer http([](const ScriptedServer::Request&) {
        return ScriptedServer::of(ScriptedServer::Reply::Kind::Stall);
    });
    auto server = recordFor(http.port(), 4);
    auto fetcher = std::make_unique<WallFetcher>(server);
    int done = 0;
    for (int i = 0; i < 4; ++i)
        fetcher->requestPicture(i, QString("/c/%1").arg(i), {64, 48},
                                [&](const CameraPicture&) { ++done; });
    ASSERT_TRUE(http.waitForRequests(4));
    QElapsedTimer t;
    t.start();
    fetcher.reset();
    // Far below the 25 s request timeout: the transfers are aborted, not awaited.
    EXPECT_LT(t.elapsed(), 5000);
    spinFor(50);
    EXPECT_EQ(done, 0);
}

TEST(WallFetcher, SixtyFourCamerasOfTheDemoServerAreAnsweredSideBySide) {
    // Each answer is held back long enough that all 64 requests are in the
    // server at once, unless its workers run out (each connection holds one).
    std::mutex lock;
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;  // start, end in us
    DemoServer::Options options{"127.0.0.1", 0, "admin", "", 3000};
    options.cameras = 64;
    DemoServer demo(options);  // after spans: stops first
    demo.setLogHook([&](const DemoServer::RequestLog& e) {
        const std::int64_t end = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
        std::lock_guard l(lock);
        spans.emplace_back(end - e.elapsed.count(), end);
    });
    ASSERT_TRUE(demo.start()) << demo.errorString();
    auto server = recordFor(demo.port(), 64);
    server->setPassword("");
    WallFetcher fetcher(server);
    int pictures = 0;
    for (int i = 0; i < 64; ++i) {
        fetcher.requestPicture(i, QString("/cameras/%1/image").arg(i), {32, 24},
                               [&](const CameraPicture& p) { pictures += !p.image.isNull(); });
    }
    ASSERT_TRUE(waitUntil([&] { return pictures == 64; }));
    std::lock_guard l(lock);
    int most = 0;
    for (const auto& [start, end] : spans) {
        const int overlapping =
            static_cast<int>(std::count_if(spans.begin(), spans.end(), [&](auto& o) {
                return o.first <= start && o.second > start;
            }));
        most = std::max(most, overlapping);
    }
    // All 64, but for a few that a loaded machine may start late; a pool
    // of 32 workers gives 32.
    EXPECT_GE(most, 56);
}
