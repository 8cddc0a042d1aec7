// SPDX-License-Identifier: GPL-3.0-or-later
// The video player over real HTTP on 127.0.0.1: what it sends, when it gives
// up and why, that stopping never waits for the network, and the demo
// server's streams end to end.

#include "demoserver.h"
#include "scriptedserver.h"
#include "slowresolver.h"
#include "testutil.h"
#include "timestamp.h"
#include "videoplayer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <future>

#include "streams.h"

using namespace video;

namespace {

using Reply = ScriptedServer::Reply;

// Plays `path` on 127.0.0.1:port as admin:pw and waits until it ends.
struct Watch {
    VideoPlayer player;
    std::optional<VideoStatus> status;
    int frames = 0;
    Watch(int port, const QString& path = "/cameras/0/video", QSize target = {160, 120}) {
        QObject::connect(&player, &VideoPlayer::ended, [this](VideoStatus s) { status = s; });
        QObject::connect(&player, &VideoPlayer::frameReady,
                         [this] { frames += !!player.takeFrame(); });
        player.play(VideoPlayer::source("127.0.0.1", QString::number(port), path, "admin", "pw"),
                    {target, {}});
    }
    VideoStatus end() {
        return waitUntil([this] { return status.has_value(); }) ? *status : VideoStatus::Playing;
    }
};

std::string head(const std::string& status, const std::string& type) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nConnection: close\r\n\r\n";
}

TEST(VideoPlayer, FallsBackForEachFailure) {
    const std::string part = multipartOf(demoJpeg({320, 240}, 1), 1).toStdString();
    const std::string mixed = head("200 OK", demo::multipartContentType());
    ScriptedServer elsewhere(ScriptedServer::json("[]"));
    // clang-format off
    const struct { const char* name; Reply reply; VideoStatus status; bool framesShown; } cases[] = {
        {"401", ScriptedServer::stream(head("401 Unauthorized", "application/octet-stream"), "denied"),
         VideoStatus::NotVideo, false},
        {"an HTML page", ScriptedServer::stream(head("200 OK", "text/html"), "<html></html>"),
         VideoStatus::NotVideo, false},
        {"a redirect to another port", ScriptedServer::stream("HTTP/1.1 302 Found\r\nLocation: " +
             elsewhere.base() + "/v\r\nContent-Length: 0\r\n\r\n", ""), VideoStatus::NotVideo, false},
        {"no answer", ScriptedServer::of(Reply::Kind::Stall), VideoStatus::Stalled, false},
        {"frames, then nothing", ScriptedServer::stream(mixed, part, 0, Reply::After::Stall),
         VideoStatus::Stalled, true},
        {"frames, then the end", ScriptedServer::stream(mixed, part + part), VideoStatus::Ended, true},
        {"the whole stream's length, 2000000000", ScriptedServer::stream(mixed.substr(0, mixed.size() - 2) +
             "Content-Length: 2000000000\r\n\r\n", part + part), VideoStatus::Ended, true},
        {"a reset", ScriptedServer::of(Reply::Kind::Reset), VideoStatus::ConnectionFailed, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.reply);
        Watch watch(server.port());
        EXPECT_EQ(watch.end(), c.status) << statusText(*watch.status).toStdString();
        EXPECT_EQ(watch.frames > 0, c.framesShown);
        ASSERT_EQ(server.requests().size(), 1u);
        const ScriptedServer::Request sent = server.requests()[0];
        EXPECT_EQ(sent.target, "/cameras/0/video");  // no credentials in the URL
        EXPECT_EQ(sent.headers.at("authorization"), "Basic YWRtaW46cHc=");
    }
    EXPECT_TRUE(elsewhere.requests().empty());
}

TEST(VideoPlayer, RequestsNoPathThatCouldLeaveTheServer) {
    ScriptedServer server(ScriptedServer::of(Reply::Kind::Stall));
    for (const char* path :
         {"file:/etc/passwd", "//127.0.0.2/v", "/v@127.0.0.2", "http://a/v", "v"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(VideoPlayer::source("127.0.0.1", "80", path, "u", "p"));
        Watch watch(server.port(), path);
        EXPECT_EQ(watch.end(), VideoStatus::RefusedAddress);
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(VideoPlayer::source("127.0.0.1", "80", "/cameras/0/video", "u", "p"));
}

TEST(VideoPlayer, StopNeverWaitsForTheNetwork) {
    const std::string mixed = head("200 OK", demo::multipartContentType());
    for (const Reply& reply :
         {ScriptedServer::of(Reply::Kind::Stall),
          ScriptedServer::stream(mixed, "--zorvanframe\r\n", 0, Reply::After::Stall)}) {
        ScriptedServer server(reply);
        auto watch = std::make_unique<Watch>(server.port());
        ASSERT_TRUE(server.waitForRequests(1));
        // The server holds the connection until it is stopped itself.
        auto stopped = std::async(std::launch::async, [&] { watch->player.stop(); });
        EXPECT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        server.stop();
        stopped.wait();
        EXPECT_FALSE(watch->status);
    }
    // A name that takes 10 s to resolve: the stop does not wait for it either.
    VideoPlayer slow;
    slow.play(VideoPlayer::source(slowresolver::kSlowHost, "80", "/v", "admin", "pw"),
              {{160, 120}, {}});
    spinFor(200);  // the look-up is under way
    auto stopped = std::async(std::launch::async, [&] { slow.stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

TEST(VideoPlayer, RefusesAFrameOfMoreThanTheBoundAndStopsAtOnce) {
    const std::string mixed = "HTTP/1.1 200 OK\r\nContent-Type: " + demo::multipartContentType();
    const std::string part = "--zorvanframe\r\nContent-Type: image/jpeg\r\n";
    // clang-format off
    // announced: refused before a byte of the part is read. The others are
    // refused at the bound, or, where reading that much takes longer than
    // the stall rule allows (a sanitizer's build), end as stalled: either
    // way within the bound.
    const struct { const char* name; std::string head; bool announced; } cases[] = {
        {"a part announcing 2000000000 bytes", mixed + "\r\n\r\n" + part + "Content-Length: 2000000000\r\n\r\n", true},
        {"a part that never ends", mixed + "\r\n\r\n" + part + "\r\n", false},
        {"one endless chunk", mixed + "\r\nTransfer-Encoding: chunked\r\n\r\n7fffffff\r\n" + part + "\r\n", false},
    };
    // clang-format on
    // Besides the bound: the demuxer's read-ahead and what the sockets hold.
    constexpr std::int64_t kMargin = std::int64_t(48) << 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Paced: the old viewer held all it was sent until the stall rule
        // ended it, and a failure must not take the machine's memory.
        EndlessServer server(c.head, std::string(1 << 20, 'Z'), std::int64_t(256) << 20);
        {
            Watch watch(server.port());
            const VideoStatus end = watch.end();
            EXPECT_TRUE(end == VideoStatus::RefusedSize ||
                        (!c.announced && end == VideoStatus::Stalled))
                << statusText(end).toStdString();
            ASSERT_TRUE(waitUntil([&] { return server.closed() == 1; }));
            std::printf("%s: %.1f MiB sent\n", c.name, server.sentOn(0) / 1048576.0);
            EXPECT_LE(server.sentOn(0), kMaxFrameBytes + kMargin);
        }
        // A stop while the decode thread reads what it is going to refuse.
        Watch busy(server.port());
        waitUntil([&] { return busy.status || server.sentOn(1) > (8 << 20); });
        QElapsedTimer took;
        took.start();
        busy.player.stop();
        std::printf("%s: stop() took %lld ms\n", c.name, took.elapsed());
        EXPECT_LT(took.elapsed(), 1000);
    }
}

TEST(VideoPlayer, PlaysTheDemoServersVideoWithItsSendTime) {
    for (const auto video : {DemoServer::Options::Video::Mjpeg, DemoServer::Options::Video::H264}) {
        DemoServer server({.port = 0, .password = "pw", .video = video});
        ASSERT_TRUE(server.start()) << server.errorString();
        const std::int64_t before = demo::stampClockMs();
        Watch watch(server.port(), "/cameras/0/video?fps=50&resolution=320x240", {320, 240});
        std::optional<VideoFrame> frame;
        // Never taking frames keeps one: the newest replaces the rest.
        QObject::disconnect(&watch.player, &VideoPlayer::frameReady, nullptr, nullptr);
        ASSERT_TRUE(waitUntil([&] { return watch.player.droppedFrames() >= 10; }));
        frame = watch.player.takeFrame();
        ASSERT_TRUE(frame);
        EXPECT_FALSE(watch.player.takeFrame());
        const std::optional<std::int64_t> sent = demo::readTimeStamp(frame->image);
        ASSERT_TRUE(sent);
        EXPECT_GE(*sent, before);
        EXPECT_LE(*sent, demo::stampClockMs());
        EXPECT_EQ(frame->image.size(), QSize(320, 240));
        EXPECT_FALSE(watch.status);
        // The server stops while someone watches: both sides notice.
        server.stop();
        EXPECT_EQ(watch.end(), VideoStatus::ConnectionFailed);
    }
}

}  // namespace
