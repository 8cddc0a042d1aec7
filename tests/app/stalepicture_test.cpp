// The stale-picture warning: a picture that stops being renewed, whatever the
// cause, is dimmed under a warning, and the next picture ends it.

#include <QAction>
#include <QRegularExpression>

#include "camserver.h"
#include "viewerfixture.h"

namespace {

QColor pixelOf(TouchImage& view, QPoint at) {
    return view.grab().toImage().pixelColor(at);
}

}  // namespace

TEST(StalePicture, FailedPicturesKeepTheLastOneDimmedUnderAWarning) {
    TouchImage view;
    view.resize(320, 240);
    PictureFreshnessTestAccess::setMinimumStaleMs(view.freshness(), 300);
    view.freshness().setRefreshIntervalMs(50);
    auto server = CamServer::create();
    CameraView camera("Gate", server.get());
    camera.imageUri = "/c/0/image";
    camera.setCamera(&view);
    const QImage grey = solid(QColor(200, 200, 200), view.size());

    view.setPicture(grey);
    EXPECT_FALSE(view.freshness().isStale());
    view.setPicture(QImage());  // a failed picture
    EXPECT_EQ(view.picture(), grey) << "the last good picture stays";
    EXPECT_FALSE(view.freshness().isStale()) << "not yet a few intervals old";

    ASSERT_TRUE(waitUntil([&] { return view.freshness().isStale(); }));
    EXPECT_TRUE(QRegularExpression("^No picture for \\d+ s$")
                    .match(view.freshness().warningText())
                    .hasMatch())
        << view.freshness().warningText().toStdString();
    const QColor corner = pixelOf(view, {4, 4});
    EXPECT_LT(corner.red(), 120) << "dimmed";
    EXPECT_GT(corner.red(), 20) << "but still visible";
    EXPECT_NE(pixelOf(view, {160, 120}), corner) << "the warning sits in the middle";

    view.setPicture(grey);
    EXPECT_FALSE(view.freshness().isStale());
    EXPECT_TRUE(view.freshness().warningText().isEmpty());
    EXPECT_EQ(pixelOf(view, {4, 4}), QColor(200, 200, 200));
    EXPECT_EQ(pixelOf(view, {160, 120}), QColor(200, 200, 200));
}

TEST(StalePicture, ACameraThatNeverDeliversIsWarnedAbout) {
    TouchImage view;
    PictureFreshnessTestAccess::setMinimumStaleMs(view.freshness(), 300);
    auto server = CamServer::create();
    CameraView camera("Gate", server.get());
    EXPECT_FALSE(view.freshness().isStale()) << "no camera shown, nothing to warn of";
    spinFor(400);
    EXPECT_FALSE(view.freshness().isStale());
    camera.setCamera(&view);
    ASSERT_TRUE(waitUntil([&] { return view.freshness().isStale(); }));
    EXPECT_TRUE(view.picture().isNull());

    view.clearPicture();  // no camera shown any more
    EXPECT_FALSE(view.freshness().isStale());
    spinFor(400);
    EXPECT_FALSE(view.freshness().isStale());
    camera.setCamera(&view);  // shown again: counting again
    ASSERT_TRUE(waitUntil([&] { return view.freshness().isStale(); }));
}

TEST(StalePicture, AnotherCameraClearsThePictureTheSameOneKeepsIt) {
    auto serverA = CamServer::create();
    auto serverB = CamServer::create();
    const struct {
        const char* what;
        CamServer* server;
        const char* imageUri;
        bool cleared;
    } cases[] = {
        {"the same camera from a reloaded list", serverA.get(), "/c/0/image", false},
        {"another camera of the server", serverA.get(), "/c/1/image", true},
        {"a camera of another server", serverB.get(), "/c/0/image", true},
    };
    for (const auto& c : cases) {
        TouchImage view;
        view.resize(64, 48);
        CameraView first("Gate", serverA.get());
        first.imageUri = "/c/0/image";
        first.setCamera(&view);
        view.setPicture(solid(Qt::green, view.size()));
        CameraView next("Next", c.server);
        next.imageUri = c.imageUri;
        next.setCamera(&view);
        EXPECT_EQ(view.picture().isNull(), c.cleared) << c.what;
    }
}

TEST_F(LiveViewer, WarningAppearsWhateverTheCauseAndGoesWithTheNextPicture) {
    auto server = std::make_unique<ScriptedServer>(videoServer());
    const int port = server->port();
    auto picturesAnswer = [](ScriptedServer::Reply failed) {
        return [failed](const ScriptedServer::Request& r) {
            if (r.target.find("resolution=") != std::string::npos) return failed;
            return videoServer()(r);
        };
    };
    const struct {
        const char* cause;
        std::function<void()> fail;
        std::function<void()> recover;
    } causes[] = {
        {"a server that stalls",
         [&] {
             server->setScript(
                 picturesAnswer(ScriptedServer::of(ScriptedServer::Reply::Kind::Stall)));
         },
         [&] { server->setScript(videoServer()); }},
        {"a connection reset",
         [&] {
             server->setScript(
                 picturesAnswer(ScriptedServer::of(ScriptedServer::Reply::Kind::Reset)));
         },
         [&] { server->setScript(videoServer()); }},
        {"a picture that does not decode",
         [&] { server->setScript(picturesAnswer(ScriptedServer::json("not a picture"))); },
         [&] { server->setScript(videoServer()); }},
        {"a refused connection", [&] { server.reset(); },
         [&] { server = std::make_unique<ScriptedServer>(videoServer(), port); }},
    };
    writeSettings(dir.path(), port, 0);
    start();
    for (const auto& c : causes) {
        ASSERT_TRUE(waitForPicture()) << c.cause;
        ASSERT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); })) << c.cause;
        c.fail();
        ASSERT_TRUE(waitUntil([&] { return app->mainImage()->freshness().isStale(); })) << c.cause;
        EXPECT_FALSE(app->mainImage()->picture().isNull()) << c.cause << ": the picture stays";
        c.recover();
        ASSERT_TRUE(server->listening()) << c.cause;
        EXPECT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); }))
            << c.cause << ": the next picture ends the warning";
    }
    EXPECT_TRUE(alerts->texts.empty()) << "failed pictures raise no alert";
}

TEST_F(LiveViewer, LiveFiguresAreShownOnRequest) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    start();
    QAction* figures = app->liveFiguresAction();
    ASSERT_NE(figures, nullptr);
    EXPECT_TRUE(figures->isCheckable());
    EXPECT_FALSE(figures->isChecked()) << "off by default";
    EXPECT_FALSE(app->mainImage()->freshness().showStats());
    figures->trigger();
    EXPECT_TRUE(app->mainImage()->freshness().showStats());
    PictureFreshness& f = app->mainImage()->freshness();
    ASSERT_TRUE(waitUntil([&] { return f.rate() > 0 && f.lastRoundTripMs().has_value(); }));
    EXPECT_GE(*f.lastRoundTripMs(), 0);
    EXPECT_LT(*f.lastRoundTripMs(), 30000);
    EXPECT_TRUE(f.statsText().contains("pictures/s, round trip"));
}
