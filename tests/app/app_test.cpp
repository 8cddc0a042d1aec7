// The whole viewer in-process (offscreen) against scripted video servers on
// loopback, in a temporary settings folder.

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QSlider>

#include <gtest/gtest.h>

#include <thread>

#include "apptestkit.h"
#include "testutil.h"
#include "touchimage.h"
#include "viewerfixture.h"
#include "zorvanmacappdelegate.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"

namespace {

QStringList titles(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->property("title").toString();
    return out;
}

int checkedIndex(QMenu* menu) {
    const auto actions = menu->actions();
    int found = -1;
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->isChecked()) {
            EXPECT_EQ(found, -1) << "two items on";
            found = i;
        }
    }
    return found;
}

std::vector<std::string> pictureTargets(const ScriptedServer& s) {
    std::vector<std::string> out;
    for (const auto& r : s.requests()) {
        if (r.target.find("resolution=") != std::string::npos) out.push_back(r.target);
    }
    return out;
}

class Viewer : public ViewerFixture {};

}  // namespace

TEST_F(Viewer, FirstStartShowsTheDemoServersFirstCamera) {
    ScriptedServer demo(videoServer(), 1818);
    if (!demo.listening()) GTEST_SKIP() << "port 1818 is taken on this machine";
    start();
    ASSERT_EQ(settings->getServers().size(), 1u);
    EXPECT_EQ(settings->getServers()[0]->name(), "Demo Server");
    ASSERT_TRUE(waitForPicture());

    const auto reqs = demo.requests();
    ASSERT_GE(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].target, "/microphones");
    EXPECT_EQ(reqs[1].target, "/cameras");
    const QSize size = app->mainImage()->size();
    EXPECT_EQ(reqs[2].target, "/c/0/image?resolution=" + std::to_string(size.width()) + "x" +
                                  std::to_string(size.height()) + "&quality=60");
    EXPECT_EQ(app->mainImage()->picture().size(), size) << "pictures come at the view's size";
    EXPECT_EQ(titles(app->camerasMenu()), QStringList({"Gate", "Yard", "Roof"}));
    EXPECT_EQ(checkedIndex(app->camerasMenu()), 0);
    EXPECT_EQ(titles(app->serversMenu()), QStringList({"Demo Server"}));
    EXPECT_EQ(checkedIndex(app->serversMenu()), 0);
    EXPECT_EQ(app->audioSlider()->value(), 100);
    EXPECT_EQ(app->audioSlider()->maximum(), 100);
    EXPECT_TRUE(alerts->texts.empty());
}

TEST_F(Viewer, StoredCameraIndexIsRespectedOrCameraZeroIsShown) {
    struct Case {
        std::int64_t stored;
        int shown;
        bool soundAvailable;
    } cases[] = {{1, 1, true}, {2, 2, false}, {3, 0, false}, {5, 0, false}, {-1, 0, false}};
    for (const Case& c : cases) {
        ScriptedServer server(videoServer());
        writeSettings(dir.path(), server.port(), c.stored);
        start();
        ASSERT_TRUE(waitForPicture()) << c.stored;
        EXPECT_EQ(checkedIndex(app->camerasMenu()), c.shown) << c.stored;
        const auto pictures = pictureTargets(server);
        ASSERT_FALSE(pictures.empty());
        EXPECT_EQ(pictures[0].rfind("/c/" + std::to_string(c.shown) + "/image?", 0), 0u)
            << pictures[0];
        EXPECT_EQ(settings->cameraIdx(), c.stored) << "the stored index is left alone";
        EXPECT_EQ(app->soundMenu()->menuAction()->isEnabled(), c.soundAvailable) << c.stored;
        EXPECT_EQ(app->soundMenu()->actions().at(0)->isVisible(), c.soundAvailable) << c.stored;
        // The toggle and the slider can be used only while there is sound.
        EXPECT_EQ(app->soundMenu()->actions().at(0)->isEnabled(), c.soundAvailable) << c.stored;
        EXPECT_EQ(app->audioSlider()->isEnabled(), c.soundAvailable) << c.stored;
        quit();
    }
    EXPECT_TRUE(alerts->texts.empty());
}

TEST_F(Viewer, UnreachableServerGivesOneAlertAndEmptiesTheCamerasMenu) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    start();
    ASSERT_TRUE(waitForPicture());
    ASSERT_EQ(app->camerasMenu()->actions().size(), 3);

    server.stop();  // the server goes away; the user reloads
    app->openServer();
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty() && app->camerasMenu()->isEmpty(); }));
    spinFor(200);
    EXPECT_EQ(alerts->texts, std::vector<QString>{"Server is not available"});
    EXPECT_EQ(alerts->buttons_, std::vector<QString>{"OK"});
    EXPECT_EQ(alerts->icons_, std::vector<QMessageBox::Icon>{QMessageBox::Warning});
}

TEST_F(Viewer, UndecodableAnswerGivesErrorAndLeavesTheMenus) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 2);
    start();
    ASSERT_TRUE(waitForPicture());
    server.setScript([](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json("<html>busy</html>", 503);
        return videoServer()(r);
    });
    app->openServer();
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    spinFor(200);
    EXPECT_EQ(alerts->texts, std::vector<QString>{"Error"});
    EXPECT_EQ(titles(app->camerasMenu()), QStringList({"Gate", "Yard", "Roof"}));
    EXPECT_EQ(checkedIndex(app->camerasMenu()), 2);
}

TEST_F(Viewer, CameraListThatIsNotAListIsAnError) {
    ScriptedServer server([](const ScriptedServer::Request& r) {
        if (r.target == "/cameras") return ScriptedServer::json(R"({"name":"not a list"})");
        return videoServer()(r);
    });
    writeSettings(dir.path(), server.port(), 0);
    start();
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    EXPECT_EQ(alerts->texts, std::vector<QString>{"Error"});
    EXPECT_TRUE(app->camerasMenu()->isEmpty());
    EXPECT_EQ(settings->getCurrent()->getCameras(), nullptr);
}

TEST_F(Viewer, NoStoredServerSendsNothing) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0, /*withServer=*/false);
    start();
    spinFor(300);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(alerts->texts.empty());
    EXPECT_TRUE(app->serversMenu()->isEmpty());
    EXPECT_EQ(app->dataManager()->currentServer(), nullptr);
}

TEST_F(Viewer, QuitStoresTheFrameAndTheNextStartUsesIt) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    start();
    const QRect moved(100, 60, 600, 400);
    app->window()->setGeometry(moved);
    quit();
    start();
    EXPECT_EQ(settings->getWinPosition(), QRectF(moved));
    EXPECT_EQ(app->window()->geometry(), moved);
}

TEST_F(Viewer, FrameOffTheScreenIsBroughtBackWhole) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    {
        auto s = Settings::createInFolder(dir.path(), "en");
        s->setWinPosition(QRectF(-20000, 30000, 600, 400));
        s->save();
    }
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    start();
    EXPECT_EQ(app->window()->geometry().size(), QSize(600, 400));
    EXPECT_TRUE(screen.contains(app->window()->geometry()));
    quit();
    {  // larger than the screen and hanging over its corner
        auto s = Settings::createInFolder(dir.path(), "en");
        s->setWinPosition(QRectF(screen.right() - 50, screen.bottom() - 50, 5000, 4000));
        s->save();
    }
    start();
    const QRect frame = app->window()->geometry();
    EXPECT_TRUE(screen.contains(frame.topLeft())) << "moved back over the screen";
    EXPECT_EQ(frame.size().boundedTo(screen.size()), frame.size()) << "and no larger than it";
}

TEST_F(Viewer, AlertsComeOneAtATimeInOrderAndARunOfTheSameIsShownOnce) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
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
    EXPECT_EQ(alerts->maxOpen, 1) << "an alert opened over another";
    alerts->hold = false;
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= 3; }));
    spinFor(100);
    for (auto& t : reporters) t.join();  // each released by its own alert
    EXPECT_EQ(alerts->texts, (std::vector<QString>{"Error", "Connection error", "Error"}));
    EXPECT_EQ(alerts->maxOpen, 1);
}

TEST_F(Viewer, EmptyCameraListAndMicrophonesThatAreNotAList) {
    struct Case {
        const char* microphones;
        const char* cameras;
        std::vector<QString> alerts;
        int cameraItems;
    } cases[] = {
        {"[]", "[]", {}, 0},
        {R"({"name":"not a list"})", nullptr, {"Error"}, 3},
        {"[1, \"text\"]", "[]", {}, 0},
    };
    for (const Case& c : cases) {
        ScriptedServer server([&](const ScriptedServer::Request& r) {
            if (r.target == "/microphones") return ScriptedServer::json(c.microphones);
            if (r.target == "/cameras" && c.cameras) return ScriptedServer::json(c.cameras);
            return videoServer()(r);
        });
        writeSettings(dir.path(), server.port(), 0);
        alerts->texts.clear();
        start();
        ASSERT_TRUE(waitUntil([&] { return !server.requests().empty(); })) << c.microphones;
        spinFor(400);
        EXPECT_EQ(alerts->texts, c.alerts) << c.microphones;
        EXPECT_EQ(app->camerasMenu()->actions().size(), c.cameraItems) << c.microphones;
        if (c.cameraItems == 0) EXPECT_TRUE(pictureTargets(server).empty()) << c.microphones;
        EXPECT_FALSE(app->audioSlider()->isEnabled());
        quit();
    }
}

TEST_F(Viewer, FirstStartAndImpossibleStoredFramesAreCentredAtTheDefaultSize) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect centred = [&] {
        QRect r(0, 0, 507, 363);
        r.moveCenter(screen.center());
        return r;
    }();
    // No settings file at all: a first start.
    start();
    EXPECT_EQ(app->window()->geometry(), centred);
    quit();
    for (const char* frame : {"{{1e300, 5}, {600, 400}}", "{{0, 0}, {1e300, 1e300}}",
                              "{{-1e308, -1e308}, {1e308, 1e308}}", "{{5, 5}, {600, 1e7}}"}) {
        QFile::remove(dir.filePath("settings.dat"));
        {
            auto s = Settings::createInFolder(dir.path(), "en");
            s->save();
        }
        QFile file(dir.filePath("settings.dat"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray xml = file.readAll();
        file.close();
        const int at = xml.indexOf("{{");
        ASSERT_GE(at, 0);
        xml.replace(at, xml.indexOf("}}", at) + 2 - at, frame);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(xml);
        file.close();
        start();
        EXPECT_EQ(app->window()->geometry(), centred) << frame;
        quit();
    }
}
