// SPDX-License-Identifier: GPL-3.0-or-later
// The shown camera's video in the whole viewer: it takes over from the
// stills where the camera has one and Live Video is on, and the stills come
// back, with the reason on the picture, where it fails.

#include "livevideo.h"
#include "camerawall.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "touchview.h"
#include "videobudget.h"
#include "viewerkit.h"

#include <QSettings>

#include <set>

namespace {

// Camera 0, whose video path is /v/0; its stills are red (colour 0).
const std::string kVideoCamera =
    R"([{"name":"Gate","uri":"/c/0","image-uri":"/c/0/image","video-uri":"/v/0"}])";

// One part of a multipart JPEG stream whose frames are blue (colour 2).
std::string videoPart() {
    const std::string jpeg = jpegOf({64, 48}, cameraColour(2));
    return "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
           "\r\n\r\n" + jpeg + "\r\n";
}

// That stream, as long as it is read.
ScriptedServer::Reply endlessVideo() {
    const std::string part = videoPart();
    return ScriptedServer::stream(
        "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n", part,
        static_cast<int>(part.size()) * 20, ScriptedServer::Reply::After::Repeat);
}

}  // namespace

TEST_F(ViewerFixture, LiveVideoTakesOverFromTheStillsWhereItPlays) {
    // Camera 0's stills are red; its video's frames blue.
    const auto video = endlessVideo();
    const std::string doc = kVideoCamera;
    const struct {
        const char* name;
        ScriptedServer::Reply answer;
        bool liveVideo;
        int shows;  // whose colour the view shows: 2 the video's, 0 the stills'
        QString note;
    } rows[] = {
        {"a multipart JPEG stream", video, true, 2, ""},
        {"an HTML page", ScriptedServer::json("<html>no video here</html>"), true, 0,
         "Live video unavailable: the server sent no video. Showing pictures."},
        {"Live Video off", video, false, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server([&](const ScriptedServer::Request& r) {
            return r.target.rfind("/v/0", 0) == 0 ? row.answer : camerasServer(doc)(r);
        });
        writeServers(dir.path(), {{"Local", server.port(), true}});
        LiveVideo::setOn(*onDisk()->getServers().front(), row.liveVideo);
        start();
        ASSERT_TRUE(waitForPictureOf(row.shows));
        if (row.shows == 2) {
            const size_t stills = picturesOf(server);
            spinFor(1000);
            EXPECT_LE(picturesOf(server), stills + 1) << "the stills rest while the video plays";
            EXPECT_TRUE(app->window()->mainImage()->hasSavablePicture()) << "the frame as sent";
            // Hidden, the video closes; shown again it opens again, and
            // where that fails the stills come back.
            server.setScript([&](const ScriptedServer::Request& r) {
                return r.target.rfind("/v/0", 0) == 0 ? ScriptedServer::json("<html>gone</html>")
                                                      : camerasServer(doc)(r);
            });
            app->window()->hide();
            app->window()->show();
            EXPECT_TRUE(waitUntil([&] { return picturesOf(server) > stills + 2; }));
        }
        if (!row.note.isEmpty())
            EXPECT_TRUE(
                waitUntil([&] { return app->window()->mainImage()->noteText() == row.note; }));
        if (!row.liveVideo) EXPECT_EQ(countOf(server, "/v/0"), 0u);
        quit();
    }
}

TEST_F(ViewerFixture, LiveVideoIsTriedAgainWhenItsServerIsSeenBack) {
    const std::string doc = kVideoCamera;
    const std::string part = videoPart();
    const struct {
        const char* name;
        ScriptedServer::Reply answer;
        const char* reason;
        bool soon;  // tried again at the first still, not a minute later
    } rows[] = {
        {"refused", ScriptedServer::of(ScriptedServer::Reply::Kind::Reset), "no connection", true},
        {"stalled", ScriptedServer::of(ScriptedServer::Reply::Kind::Stall), "no frame for 3 s",
         true},
        {"ended",
         ScriptedServer::stream("HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; "
                                "boundary=frame\r\n\r\n",
                                part + part),
         "the server ended the video", true},
        {"an HTML page", ScriptedServer::json("<html>no video</html>"), "the server sent no video",
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server([&](const ScriptedServer::Request& r) {
            return r.target.rfind("/v/0", 0) == 0 ? row.answer : camerasServer(doc)(r);
        });
        writeServers(dir.path(), {{"Local", server.port(), true}});
        start();
        const auto tries = [&] { return countOf(server, "/v/0"); };
        ASSERT_TRUE(
            waitUntil([&] { return app->window()->mainImage()->noteText().contains(row.reason); }));
        EXPECT_EQ(waitUntil([&] { return tries() >= 2; }, row.soon ? 10000 : 5000), row.soon);
        // A server that drops every connection at once gets no storm of
        // tries: at least 2 s between them, growing.
        if (row.soon) spinFor(3000);
        EXPECT_LE(tries(), 3u);
        quit();
    }
}

// A camera alone in another window plays its video there as the one-camera
// view does, its stills resting. When its server stops, the stills come back
// with the note; when the server is back, its first still brings the video
// back, not the minute's retry. Live Video turned off stops it.
TEST_F(ViewerFixture, LiveVideoPlaysForACameraAloneInAnotherWindow) {
    const std::string doc = kVideoCamera;
    const ScriptedServer::Script script = [&](const ScriptedServer::Request& r) {
        if (r.target.rfind("/v/0", 0) != 0) return camerasServer(doc)(r);
        return endlessVideo();
    };
    ScriptedServer main(camerasServer());  // the main window's, without video
    auto other = std::make_unique<ScriptedServer>(script);
    const int port = other->port();
    writeServers(dir.path(), {{"Main", main.port(), true}, {"Other", port}});
    start();
    WindowState state;
    state.shows = WindowState::Shows::Camera;
    state.serverId = settings->getServers().back()->serverId();
    state.camera = CameraRef{state.serverId, "/c/0", "Gate", 0};
    RoomScreen* screen = app->newWindow(&state)->screenView();
    const auto cell = [&] { return screen->wall()->cell(0)->imageView(); };
    const auto plays = [&] {
        return screen->isVideoPlaying() && cameraOfPicture(cell()->picture()) == 2;
    };
    ASSERT_TRUE(waitUntil(plays));
    const size_t stills = picturesOf(*other);
    spinFor(1000);
    EXPECT_LE(picturesOf(*other), stills + 1) << "the stills rest while the video plays";
    other.reset();
    EXPECT_TRUE(waitUntil([&] {
        return !screen->isVideoPlaying() && cell()->noteText().startsWith("Live video unavailable");
    }));
    other = std::make_unique<ScriptedServer>(script, port);
    EXPECT_TRUE(waitUntil(plays, 15000)) << "at the first still, not a minute later";
    LiveVideo::setOn(*settings->getServers().back(), false);
    screen->followLiveVideo();
    EXPECT_FALSE(screen->isVideoPlaying());
    EXPECT_TRUE(waitUntil([&] { return cameraOfPicture(cell()->picture()) == 0; }));
}

// The viewer's budget of decodes goes to the largest cells that could play
// a video, across windows, in the order asked; ties go to who asked first.
TEST(VideoBudget, GivesTheLargestCellsFirst) {
    const int a = 0, b = 0;  // two askers, by address
    // clang-format off
    const struct { int limit; std::vector<VideoBudget::Candidate> a, b; std::set<int> grantedA, grantedB; } rows[] = {
        {4, {{0, 100}, {1, 50}}, {{0, 70}}, {0, 1}, {0}},
        {2, {{0, 100}, {1, 50}}, {{0, 70}}, {0}, {0}},
        {1, {{0, 70}}, {{0, 70}}, {0}, {}},     // a tie: a asked first
        {0, {{0, 100}}, {{0, 70}}, {}, {}},
        {2, {{3, 10}, {1, 20}, {2, 30}}, {}, {1, 2}, {}},
    };
    // clang-format on
    for (const auto& r : rows) {
        VideoBudget budget;
        budget.setLimit(r.limit);
        int told = 0;
        QObject::connect(&budget, &VideoBudget::changed, [&] { ++told; });
        budget.offer(&a, r.a);
        budget.offer(&b, r.b);
        EXPECT_EQ(budget.granted(&a), r.grantedA) << r.limit;
        EXPECT_EQ(budget.granted(&b), r.grantedB) << r.limit;
        const int before = told;
        budget.offer(&b, r.b);  // the same again: nobody is told
        EXPECT_EQ(told, before);
        budget.withdraw(&a);
        EXPECT_TRUE(budget.granted(&a).empty());
    }
    QSettings().remove("video/decodesAtOnce");
}

// A cell of a layout plays its video where it is large enough, as far as
// the budget goes: with one decode, the window that asked first plays and
// the other keeps its stills until the first closes; cells of a 2x2 grid
// in the same window are too small to play.
TEST_F(ViewerFixture, LargeCellsPlayTheirVideoWithinTheBudget) {
    const std::string doc = kVideoCamera;
    ScriptedServer server([&](const ScriptedServer::Request& r) {
        if (r.target.rfind("/v/0", 0) != 0) return camerasServer(doc)(r);
        return endlessVideo();
    });
    writeServers(dir.path(), {{"Local", server.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    const CameraRef gate{id, "/c/0", "Gate", 0};
    app->hub()->edit([&](ControlRoom& r) {
        r.layouts = {Layout{"Big", 1, 1, {gate}}, Layout{"Grid", 2, 2, {gate, gate, gate, gate}}};
    });
    ASSERT_TRUE(app->window()->showLayout("Grid"));
    app->hub()->videoBudget()->setLimit(1);
    WindowState big;
    big.shows = WindowState::Shows::Layout;
    big.name = "Big";
    big.geometry = QRect(0, 0, 800, 780);
    RoomWindow* first = app->newWindow(&big);
    RoomWindow* second = app->newWindow(&big);
    EXPECT_TRUE(waitUntil([&] { return first->screenView()->isVideoPlaying(); }));
    spinFor(300);
    EXPECT_FALSE(second->screenView()->isVideoPlaying()) << "beyond the budget";
    EXPECT_FALSE(app->window()->roomScreen()->isVideoPlaying()) << "cells too small";
    first->close();
    EXPECT_TRUE(waitUntil([&] { return second->screenView()->isVideoPlaying(); }));
    WindowState grid = big;
    grid.name = "Grid";
    second->apply(grid);
    EXPECT_FALSE(second->screenView()->isVideoPlaying());
    QSettings().remove("video/decodesAtOnce");
}
