// SPDX-License-Identifier: GPL-3.0-or-later
// The camera wall's fetcher, alone and under the page refresh, against
// scripted servers on loopback: what it sends, what each answer becomes,
// that requests run side by side, and what paging and a server change stop.

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "TXJsonValue.h"
#include "camserver.h"
#include "picturebudget.h"
#include "scriptedserver.h"
#include "testutil.h"
#include "wallfetcher.h"
#include "wallrefresh.h"

namespace {

using Kind = ScriptedServer::Reply::Kind;

// The camera number in a target such as "/c/12?resolution=...".
int cameraOf(const std::string& target) {
    return std::atoi(target.c_str() + 3);
}

// A server record for port with cameras "/c/0" ... "/c/<count - 1>".
std::shared_ptr<CamServer> recordFor(int port, int count) {
    tx::JsonArray list;
    for (int i = 0; i < count; ++i)
        list.push_back(tx::JsonObject{{"name", "Camera " + std::to_string(i)},
                                      {"image-uri", "/c/" + std::to_string(i)}});
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("secret");
    server->setFps("1000");
    server->setCameras(list);
    return server;
}

// Answers each picture after holdMs (never when holdMs < 0); camera n's
// picture is 16 + n pixels wide, so a picture tells which camera it is of.
ScriptedServer::Script slowPictures(int holdMs) {
    return [holdMs](const ScriptedServer::Request& r) {
        if (holdMs < 0) return ScriptedServer::of(Kind::Stall);
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        return ScriptedServer::json(jpegOf({16 + cameraOf(r.target), 8}));
    };
}

}  // namespace

TEST(WallFetcher, EachAnswerBecomesAPictureOrAFailedOne) {
    // expected, invalid: a failed picture (null image).
    const std::string picture = jpegOf({40, 30});
    // clang-format off
    const struct { const char* name; ScriptedServer::Reply reply; QSize expected; } cases[] = {
        {"picture", ScriptedServer::json(picture), {40, 30}},
        {"status not looked at", ScriptedServer::json(picture, 404), {40, 30}},
        {"not a picture", ScriptedServer::json("<html>"), {}},
        {"over the body cap", ScriptedServer::json(std::string(5000, 'x')), {}},
        {"connection reset", ScriptedServer::of(Kind::Reset), {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer http([&](const ScriptedServer::Request& r) {
            return cameraOf(r.target) == 1 ? ScriptedServer::of(Kind::Stall) : c.reply;
        });
        WallFetcher fetcher(recordFor(http.port(), 2), {.maxPictureBytes = 4096});
        // Camera 1's answer stalls: camera 0's request goes out all the same,
        // long before camera 1's times out (25 s).
        fetcher.requestPicture(1, "/c/1", {400, 300}, [](const CameraPicture&) {});
        ASSERT_TRUE(http.waitForRequests(1));
        std::optional<QImage> got;
        fetcher.requestPicture(0, "/c/0", {400, 300},
                               [&](const CameraPicture& p) { got = p.image; });
        ASSERT_TRUE(waitUntil([&] { return got.has_value(); }, 10000));
        EXPECT_EQ(got->isNull() ? QSize() : got->size(), c.expected);
        const auto requests = http.requests();
        ASSERT_EQ(requests.size(), 2u);
        // The data manager's picture request: credentials, and nothing else asked.
        EXPECT_EQ(requests[1].target, "/c/0?resolution=400x300&quality=60");
        EXPECT_EQ(requests[1].headers.at("authorization"), "Basic YWRtaW46c2VjcmV0");
        EXPECT_EQ(requests[1].headers.count("accept"), 0u);
    }
}

TEST(WallFetcher, PagingAndServerChangesStopTheCamerasThatLeft) {
    // A server change: the fetcher and the refresh go while the four answers
    // are stalled, and must not wait for them (25 s, the request timeout).
    for (const bool serverChange : {false, true}) {
        SCOPED_TRACE(serverChange ? "server change" : "paging");
        ScriptedServer http(slowPictures(serverChange ? -1 : 300));
        auto server = recordFor(http.port(), 8);
        FakeImageView views[4];
        auto fetcher = std::make_unique<WallFetcher>(server);
        auto wall = std::make_unique<WallRefresh>(server, fetcher.get());
        wall->showPage({{0, &views[0]}, {1, &views[1]}, {2, &views[2]}, {3, &views[3]}});
        // All four asked before the first answer came: side by side.
        ASSERT_TRUE(waitUntil([&] { return http.requests().size() >= 4; }));
        for (const auto& v : views) EXPECT_TRUE(v.pictures.empty());
        if (serverChange) {
            QElapsedTimer t;
            t.start();
            wall.reset();
            fetcher.reset();
            EXPECT_LT(t.elapsed(), 5000) << "the transfers are aborted, not awaited";
        } else {
            wall->showPage({{4, &views[0]}, {5, &views[1]}, {6, &views[2]}, {7, &views[3]}});
            ASSERT_TRUE(waitUntil([&] {
                return std::all_of(std::begin(views), std::end(views),
                                   [](const auto& v) { return !v.pictures.empty(); });
            }));
        }
        // Long enough for the old answers to come and their cameras to ask again.
        spinFor(700);
        std::map<int, int> asked;  // requests by camera
        for (const auto& r : http.requests()) ++asked[cameraOf(r.target)];
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(asked[i], 1) << i;
            for (const QImage& p : views[i].pictures) EXPECT_EQ(p.width(), 16 + 4 + i) << i;
            EXPECT_EQ(views[i].pictures.empty(), serverChange) << i;
        }
    }
}

// A server that pads every answer (a picture of a few hundred bytes, then
// megabytes of nothing) gets no more of the walls' memory than their budget,
// however many cells ask: an answer over its cell's cap, or past the budget
// while the other cells keep theirs, is a failed picture; real pictures all
// come. Here 6 cells share 4 MiB, each answer at most 1 MiB once there are
// 2 cells or more.
TEST(WallFetcher, TheWallsHoldNoMoreAnswerBytesThanTheirBudget) {
    constexpr size_t kMiB = 1u << 20;
    // pictures: of the 6 cameras, kept as views keep them.
    // clang-format off
    const struct { const char* name; size_t padding; int pictures; } rows[] = {
        {"real pictures", 0, 6},
        {"each answer over its cap (half the budget for one cell)", 5 * kMiB / 2, 0},
        {"within the cap until the budget is spent", 9 * kMiB / 10, 4},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PictureBudget budget(4 * kMiB, kMiB, 32 * kMiB);
        const std::string padded = jpegOf({40, 30}) + std::string(row.padding, '\0');
        ScriptedServer http(
            [&](const ScriptedServer::Request&) { return ScriptedServer::json(padded); });
        auto fetcher = std::make_unique<WallFetcher>(recordFor(http.port(), 6),
                                                     WallFetcher::Options{.budget = &budget});
        std::vector<CameraPicture> kept;
        size_t mostUsed = 0;
        // One after the other, so which answers find the budget spent is
        // not a matter of timing.
        for (int i = 0; i < 6; ++i) {
            bool done = false;
            fetcher->requestPicture(i, QString("/c/%1").arg(i), {400, 300},
                                    [&](const CameraPicture& p) {
                                        done = true;
                                        if (!p.image.isNull()) kept.push_back(p);
                                    });
            ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
            mostUsed = std::max(mostUsed, budget.used());
        }
        EXPECT_EQ(static_cast<int>(kept.size()), row.pictures);
        EXPECT_LE(mostUsed, 4 * kMiB);
        EXPECT_EQ(budget.used(), row.pictures * padded.size()) << "what the kept pictures hold";
        kept.clear();
        fetcher.reset();
        EXPECT_EQ(budget.used(), 0u) << "all given back";
    }
}
