// The whole viewer against scripted servers: what a start shows, the alert
// each server answer leaves, the alerts' queue and the window's frame.

#include <QGuiApplication>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include "viewerkit.h"

namespace {

class Viewer : public ViewerFixture {};

// Answers reply for target, and the rest as camerasServer() does.
ScriptedServer::Script answering(std::string target, ScriptedServer::Reply reply) {
    return [=](const ScriptedServer::Request& r) {
        return r.target == target ? reply : camerasServer()(r);
    };
}

}  // namespace

TEST_F(Viewer, FirstStartShowsTheDemoServersFirstCamera) {
    ScriptedServer demo(camerasServer(), 1818);
    if (!demo.listening()) GTEST_SKIP() << "port 1818 is taken on this machine";
    start();
    EXPECT_EQ(settings->getCurrent()->name(), "Demo Server");
    ASSERT_TRUE(waitForPictureOf(0));
    const auto reqs = demo.requests();
    ASSERT_GE(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].target, "/microphones");
    EXPECT_EQ(reqs[1].target, "/cameras");
    const QSize size = app->mainImage()->size();
    EXPECT_EQ(reqs[2].target, "/c/0/image?resolution=" + std::to_string(size.width()) + "x" +
                                  std::to_string(size.height()) + "&quality=60");
    EXPECT_EQ(titles(app->camerasMenu()), QStringList({"Gate", "Yard", "Roof"}));
    EXPECT_EQ(titles(app->serversMenu()), QStringList({"Demo Server"}));
    EXPECT_EQ(checkedItems(app->serversMenu()), std::vector<int>{0});
    EXPECT_EQ(app->audioSlider()->value(), 100);
    EXPECT_TRUE(alerts->texts.empty());
}

TEST_F(Viewer, StoredCameraIndexIsShownOrCameraZero) {
    const struct {
        std::int64_t stored;
        int shown;
        bool sound;  // camera 1 has the microphone
    } cases[] = {{1, 1, true}, {2, 2, false}, {3, 0, false}, {-1, 0, false}};
    for (const auto& c : cases) {
        ScriptedServer server(camerasServer());
        writeServers(dir.path(), {{"Local", server.port(), true}}, c.stored);
        start();
        ASSERT_TRUE(waitForPictureOf(c.shown)) << c.stored;
        EXPECT_EQ(checkedItems(app->camerasMenu()), std::vector<int>{c.shown}) << c.stored;
        EXPECT_EQ(settings->cameraIdx(), c.stored) << "the stored index is left alone";
        EXPECT_EQ(soundAvailable(), c.sound) << c.stored;
        EXPECT_EQ(app->soundMenu()->actions().at(0)->isVisible(), c.sound) << c.stored;
        EXPECT_EQ(app->audioSlider()->isEnabled(), c.sound) << c.stored;
        quit();
    }
}

TEST_F(Viewer, EachServerAnswerLeavesItsAlertAndCamerasMenu) {
    const struct {
        const char* what;
        bool stored, atReload;  // else the answer comes at the start
        std::function<void(ScriptedServer&)> change;
        std::vector<QString> alerts;
        int cameraItems;
    } cases[] = {
        {"the server gone", true, true, [](auto& s) { s.stop(); }, {"Server is not available"}, 0},
        {"lists that do not decode",
         true,
         true,
         [](auto& s) { s.setScript(answering("/microphones", ScriptedServer::json("<b>", 503))); },
         {"Error"},
         3},
        {"a camera list that is not a list",
         true,
         false,
         [](auto& s) { s.setScript(answering("/cameras", ScriptedServer::json("{}"))); },
         {"Error"},
         0},
        {"empty lists",
         true,
         false,
         [](auto& s) { s.setScript(camerasServer("[]", "[1]")); },
         {},
         0},
        {"no server stored", false, false, [](auto&) {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(camerasServer());
        writeServers(dir.path(), {}, 2);
        if (c.stored) writeServers(dir.path(), {{"Local", server.port(), true}}, 2);
        alerts->texts.clear();
        if (!c.atReload) c.change(server);
        start();
        if (c.atReload) {
            ASSERT_TRUE(waitForPictureOf(2));
            c.change(server);
            app->openServer();
        }
        if (c.alerts.empty()) spinFor(400);
        ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= c.alerts.size(); }));
        spinFor(200);
        EXPECT_EQ(alerts->texts, c.alerts);
        EXPECT_EQ(alerts->buttons_, std::vector<QString>(c.alerts.size(), "OK"));
        EXPECT_EQ(alerts->icons_, std::vector(c.alerts.size(), QMessageBox::Warning));
        alerts->buttons_.clear(), alerts->icons_.clear();
        EXPECT_EQ(app->camerasMenu()->actions().size(), c.cameraItems);
        EXPECT_EQ(checkedItems(app->camerasMenu()).size(), c.cameraItems ? 1u : 0u);
        EXPECT_EQ(picturesOf(server) > 0, c.atReload) << "no list, no picture";
        EXPECT_EQ(server.requests().empty(), !c.stored);
        EXPECT_EQ(app->serversMenu()->isEmpty(), !c.stored);
        quit();
    }
}

TEST_F(Viewer, AlertsComeOneAtATimeInOrderAndARunOfTheSameIsShownOnce) {
    ScriptedServer server(camerasServer());
    writeServers(dir.path(), {{"Local", server.port(), true}});
    start();
    ASSERT_TRUE(waitForPicture());
    alerts->hold = true;
    std::vector<std::thread> reporters;
    reporters.emplace_back([&] { app->badResponse(); });
    ASSERT_TRUE(waitUntil([] { return QApplication::activeModalWidget() != nullptr; }));
    // (Not "Server is not available": its silent retries may close it.)
    for (int i = 0; i < 3; ++i) reporters.emplace_back([&] { app->noConnection(); });
    spinFor(300);  // these three have reached the main thread by now
    reporters.emplace_back([&] { app->badResponse(); });
    spinFor(300);
    alerts->hold = false;
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= 3; }));
    spinFor(100);
    for (auto& t : reporters) t.join();  // each released by its own alert
    EXPECT_EQ(alerts->texts, (std::vector<QString>{"Error", "Connection error", "Error"}));
    EXPECT_EQ(alerts->maxOpen, 1) << "an alert opened over another";
}

TEST_F(Viewer, FrameIsKeptAtQuitEvenInFullScreenAndPlacedWholeOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect centred(0, 0, 507, 363);
    centred.moveCenter(screen.center());
    start();  // a first start: no settings file
    EXPECT_EQ(app->window()->geometry(), centred);
    const QRect frame(100, 60, 600, 400);
    app->window()->setGeometry(frame);
    QTest::keyClick(app->mainImage(), Qt::Key_F11);
    ASSERT_TRUE(app->window()->isFullScreen());
    quit();
    EXPECT_EQ(onDisk()->getWinPosition(), QRectF(frame)) << "the window's own frame";
    const struct {
        QRectF stored;
        QRect placed;
    } cases[] = {
        {frame, frame},
        {{-20000, 30000, 600, 400}, {screen.left(), screen.bottom() - 399, 600, 400}},
        {QRectF(screen.right() - 50, screen.bottom() - 50, 5000, 4000), {}},  // over the corner
    };
    for (const auto& c : cases) {
        auto store = onDisk();
        store->setWinPosition(c.stored);
        store->save();
        start();
        const QRect placed = app->window()->geometry();
        if (c.placed.isValid()) {
            EXPECT_EQ(placed, c.placed);
        } else {  // moved back over the screen and no larger than it
            EXPECT_TRUE(screen.contains(placed.topLeft()));
            EXPECT_EQ(placed.size().boundedTo(screen.size()), placed.size());
        }
        quit();
    }
}
