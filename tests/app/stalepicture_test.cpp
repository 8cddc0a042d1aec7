// The stale-picture warning: a picture that stops being renewed, whatever the
// cause, is dimmed under a warning, and the next picture ends it.

#include <QRegularExpression>

#include "viewerkit.h"

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
    view.setPicture(QImage());  // a failed picture
    EXPECT_EQ(view.picture(), grey) << "the last good picture stays";
    EXPECT_FALSE(view.freshness().isStale()) << "not yet a few intervals old";

    ASSERT_TRUE(waitUntil([&] { return view.freshness().isStale(); }));
    EXPECT_TRUE(QRegularExpression("^No picture for \\d+ s$")
                    .match(view.freshness().warningText())
                    .hasMatch())
        << view.freshness().warningText().toStdString();
    const int corner = pixelOf(view, {4, 4}).red();
    EXPECT_TRUE(corner > 20 && corner < 120) << "dimmed but still visible: " << corner;
    EXPECT_NE(pixelOf(view, {160, 120}).red(), corner) << "the warning sits in the middle";

    view.setPicture(grey);
    EXPECT_FALSE(view.freshness().isStale());
    EXPECT_TRUE(view.freshness().warningText().isEmpty());
    EXPECT_EQ(pixelOf(view, {160, 120}), QColor(200, 200, 200));
}

TEST(StalePicture, ACameraThatNeverDeliversIsWarnedAboutWhileShown) {
    TouchImage view;
    PictureFreshnessTestAccess::setMinimumStaleMs(view.freshness(), 300);
    auto server = CamServer::create();
    CameraView camera("Gate", server.get());
    for (int shown = 0; shown < 2; ++shown) {
        spinFor(400);
        EXPECT_FALSE(view.freshness().isStale()) << "no camera shown, nothing to warn of";
        camera.setCamera(&view);  // shown (again): counting (again)
        ASSERT_TRUE(waitUntil([&] { return view.freshness().isStale(); }));
        view.clearPicture();  // no camera shown any more
        EXPECT_FALSE(view.freshness().isStale());
    }
}

TEST(StalePicture, AnotherCameraClearsThePictureTheSameOneKeepsIt) {
    auto serverA = CamServer::create(), serverB = CamServer::create();
    const struct {
        CamServer* server;
        const char* imageUri;
        bool cleared;  // the same camera from a reloaded list keeps it
    } cases[] = {{serverA.get(), "/c/0/image", false},
                 {serverA.get(), "/c/1/image", true},
                 {serverB.get(), "/c/0/image", true}};
    for (const auto& c : cases) {
        TouchImage view;
        CameraView first("Gate", serverA.get()), next("Next", c.server);
        first.imageUri = "/c/0/image";
        first.setCamera(&view);
        view.setPicture(solid(Qt::green));
        next.imageUri = c.imageUri;
        next.setCamera(&view);
        EXPECT_EQ(view.picture().isNull(), c.cleared) << c.imageUri;
    }
}

TEST_F(LiveViewer, WarningAppearsWhateverTheCauseAndGoesWithTheNextPicture) {
    auto server = std::make_unique<ScriptedServer>(camerasServer());
    const int port = server->port();
    const auto failPictures = [&](ScriptedServer::Reply failed) {
        server->setScript([failed](const ScriptedServer::Request& r) {
            return r.target.find("resolution=") != std::string::npos ? failed : camerasServer()(r);
        });
    };
    using Kind = ScriptedServer::Reply::Kind;
    const struct {
        const char* cause;
        std::function<void()> fail;
    } causes[] = {
        {"a server that stalls", [&] { failPictures(ScriptedServer::of(Kind::Stall)); }},
        {"a connection reset", [&] { failPictures(ScriptedServer::of(Kind::Reset)); }},
        {"a picture that does not decode", [&] { failPictures(ScriptedServer::json("no")); }},
        {"a refused connection", [&] { server.reset(); }},
    };
    writeServers(dir.path(), {{"Local", port, true}});
    start();
    for (const auto& c : causes) {
        ASSERT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); })) << c.cause;
        ASSERT_TRUE(waitForPicture()) << c.cause;
        c.fail();
        ASSERT_TRUE(waitUntil([&] { return app->mainImage()->freshness().isStale(); })) << c.cause;
        EXPECT_FALSE(app->mainImage()->picture().isNull()) << c.cause << ": the picture stays";
        server.reset();  // and back, answering again
        server = std::make_unique<ScriptedServer>(camerasServer(), port);
        ASSERT_TRUE(server->listening()) << c.cause;
        EXPECT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); }))
            << c.cause << ": the next picture ends the warning";
    }
    EXPECT_TRUE(alerts->texts.empty()) << "failed pictures raise no alert";
}

TEST_F(LiveViewer, LiveFiguresAreShownOnRequest) {
    ScriptedServer server(camerasServer());
    writeServers(dir.path(), {{"Local", server.port(), true}});
    start();
    QAction* figures = app->liveFiguresAction();
    ASSERT_NE(figures, nullptr);
    EXPECT_FALSE(figures->isChecked()) << "off by default";
    EXPECT_FALSE(app->mainImage()->freshness().showStats());
    figures->trigger();
    PictureFreshness& f = app->mainImage()->freshness();
    EXPECT_TRUE(f.showStats());
    ASSERT_TRUE(waitUntil([&] { return f.rate() > 0 && f.lastRoundTripMs().has_value(); }));
    EXPECT_TRUE(f.statsText().contains("pictures/s, round trip"));
}
