// The servers and cameras menus, the picture's context menu, keys and full
// screen, with the whole viewer in-process (offscreen) against scripted
// servers on loopback, in a temporary settings folder.

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <set>

#include "menutestkit.h"
#include "testutil.h"
#include "touchimage.h"
#include "viewerfixture.h"
#include "zorvanmacappdelegate.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"

namespace {

std::vector<int> checkedItems(QMenu* menu) {
    std::vector<int> on;
    const auto items = menu->actions();
    for (int i = 0; i < items.size(); ++i)
        if (items[i]->isChecked()) on.push_back(i);
    return on;
}

QStringList titles(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->property("title").toString();
    return out;
}

const std::string kThree = camerasDoc({"Gate", "Yard", "Roof"});
const std::string kYardMic = R"([{"name":"Yard mic","camera-uri":"/c/1","audio-uri":"/m/0.mp3"}])";

class Menus : public ViewerFixture {
protected:
    QAction* server(int i) { return app->serversMenu()->actions().at(i); }
    QAction* camera(int i) { return app->camerasMenu()->actions().at(i); }
    bool waitForCameras(const QStringList& names) {
        return waitUntil([&] { return titles(app->camerasMenu()) == names; });
    }
    // Waits until the picture shown is camera k's.
    bool waitForPictureOf(int k) {
        return waitUntil([&] { return cameraOfPicture(app->mainImage()->picture()) == k; });
    }
    bool soundAvailable() { return app->soundMenu()->menuAction()->isEnabled(); }
    QString settingsFile() { return dir.path() + "/settings.dat"; }
};

}  // namespace

TEST_F(Menus, ChangeServerShowsItsFirstCameraAndStopsTheOldRefresh) {
    ScriptedServer a(camerasServer(kThree, kYardMic));
    ScriptedServer b(camerasServer(camerasDoc({"Dock", "Lobby"})));
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}}, 1);
    start();
    ASSERT_TRUE(waitForPictureOf(1));
    ASSERT_TRUE(soundAvailable()) << "Yard has a microphone";

    server(1)->trigger();
    EXPECT_EQ(checkedItems(app->serversMenu()), std::vector<int>{1});
    EXPECT_EQ(settings->getCurrent()->name(), "Beta");
    EXPECT_EQ(settings->cameraIdx(), 0);
    EXPECT_FALSE(soundAvailable()) << "Beta's lists have not arrived";
    EXPECT_FALSE(app->soundMenu()->actions().at(0)->isVisible());
    {  // written once, after the index and before the current server changed
        auto onDisk = Settings::createInFolder(dir.path(), "en");
        EXPECT_EQ(onDisk->cameraIdx(), 0);
        EXPECT_EQ(onDisk->getCurrent()->name(), "Alpha");
    }
    ASSERT_TRUE(waitForCameras({"Dock", "Lobby"}));
    ASSERT_TRUE(waitForPictureOf(0));
    EXPECT_EQ(checkedItems(app->camerasMenu()), std::vector<int>{0});
    EXPECT_FALSE(settings->getServers()[0]->isRefreshing());
    const size_t fromA = picturesOf(a);
    spinFor(400);
    EXPECT_EQ(picturesOf(a), fromA) << "only the current server is polled";
    EXPECT_GT(picturesOf(b), 0u);

    quit();  // the chosen server reaches the file at the next write
    EXPECT_EQ(Settings::createInFolder(dir.path(), "en")->getCurrent()->name(), "Beta");
}

TEST_F(Menus, SameNamedServersAndTheCurrentServerAgain) {
    ScriptedServer a(camerasServer(kThree));
    ScriptedServer b(camerasServer(kThree));
    ScriptedServer c(camerasServer(camerasDoc({"Only"})));
    writeServers(dir.path(), {{"Same", a.port()}, {"Other", b.port(), true}, {"Same", c.port()}},
                 2);
    start();
    ASSERT_TRUE(waitForPictureOf(2));

    server(0)->trigger();  // both "Same" items match; the later server ends current
    EXPECT_EQ(checkedItems(app->serversMenu()), (std::vector<int>{0, 2}));
    EXPECT_EQ(settings->getCurrent(), settings->getServers()[2]);
    ASSERT_TRUE(waitForCameras({"Only"}));
    ASSERT_TRUE(waitForPictureOf(0));
    EXPECT_TRUE(a.requests().empty()) << "the earlier match was left at once";

    // The current server chosen again: index 0, a fresh load, camera 0.
    camera(0)->trigger();
    const size_t loads = c.requests().size();
    server(2)->trigger();
    EXPECT_EQ(settings->cameraIdx(), 0);
    ASSERT_TRUE(waitUntil([&] {
        const auto r = c.requests();
        return std::any_of(r.begin() + loads, r.end(),
                           [](const auto& q) { return q.target == "/cameras"; });
    }));
    ASSERT_TRUE(waitForPictureOf(0));
}

TEST_F(Menus, ChangeCameraStoresShowsAndAppliesTheSoundRule) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate", "Yard", "Twin", "Twin"}), kYardMic));
    writeServers(dir.path(), {{"Alpha", a.port(), true}}, 0);
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    struct Case {
        int item;
        std::vector<int> on;  // items on afterwards
        int shown;            // camera shown and stored
        bool sound;
    } cases[] = {
        {1, {1}, 1, true},
        {0, {0}, 0, false},
        {0, {0}, 0, false},     // the camera already shown
        {2, {2, 3}, 3, false},  // same names: the later one
    };
    for (const Case& c : cases) {
        QFile::remove(settingsFile());
        camera(c.item)->trigger();
        EXPECT_EQ(checkedItems(app->camerasMenu()), c.on) << c.item;
        EXPECT_EQ(settings->cameraIdx(), c.shown) << c.item;
        EXPECT_EQ(soundAvailable(), c.sound) << c.item;
        EXPECT_TRUE(waitUntil(
            [&] {
                return QFile::exists(settingsFile()) &&
                       Settings::createInFolder(dir.path(), "en")->cameraIdx() == c.shown;
            },
            5000))
            << "written within a second";
        EXPECT_EQ(settings->getCurrent()->currentCameraIndex(), c.shown);
        EXPECT_TRUE(settings->getCurrent()->isRefreshing());
        ASSERT_TRUE(waitForPictureOf(c.shown % 5)) << c.item;
    }
}

TEST_F(Menus, ContextMenuArrowKeysAndTheRing) {
    ScriptedServer a(camerasServer(kThree));
    writeServers(dir.path(), {{"Alpha", a.port(), true}}, 7);  // beyond the list: camera 0
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    TouchImage* view = app->mainImage();

    QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &right);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().mid(0, 3), app->camerasMenu()->actions())
        << "the context menu offers the cameras menu's items";
    camera(2)->trigger();  // chosen in the context menu
    menu->hide();
    ASSERT_TRUE(waitForPictureOf(2));
    EXPECT_EQ(settings->cameraIdx(), 2);

    struct Step {
        Qt::Key key;
        int shown;
    } steps[] = {{Qt::Key_Right, 0}, {Qt::Key_Right, 1}, {Qt::Key_Left, 0}, {Qt::Key_Left, 2}};
    for (const Step& s : steps) {
        QTest::keyClick(view, s.key);
        EXPECT_EQ(checkedItems(app->camerasMenu()), std::vector<int>{s.shown});
        EXPECT_EQ(settings->cameraIdx(), s.shown);
        ASSERT_TRUE(waitForPictureOf(s.shown));
    }
}

TEST_F(Menus, EmptyOrStaleCamerasMenuDoesNothingHarmful) {
    ScriptedServer a(camerasServer(kThree));
    // Beta answers slowly, so its list arrives well after the switch.
    ScriptedServer b([inner = camerasServer(camerasDoc({"Dock", "Lobby"}))](const auto& r) {
        if (r.target == "/microphones") std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return inner(r);
    });
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}}, 0);
    start();
    ASSERT_TRUE(waitForPictureOf(0));

    // Beta's list has not arrived: the menu still shows Alpha's cameras.
    server(1)->trigger();
    camera(2)->trigger();  // "Roof" of Alpha's menu, beyond Beta's list
    EXPECT_EQ(settings->cameraIdx(), 2);
    EXPECT_FALSE(settings->getServers()[0]->isRefreshing());
    QTest::keyClick(app->mainImage(), Qt::Key_Right);
    ASSERT_TRUE(waitForCameras({"Dock", "Lobby"}));
    ASSERT_TRUE(waitForPictureOf(0)) << "the stored index is beyond Beta's list: camera 0";

    // The server goes away: the menu empties, and the controls find nothing.
    b.stop();
    app->openServer();
    ASSERT_TRUE(waitUntil([&] { return app->camerasMenu()->isEmpty(); }));
    const std::int64_t stored = settings->cameraIdx();
    QTest::keyClick(app->mainImage(), Qt::Key_Left);
    QTest::keyClick(app->mainImage(), Qt::Key_Right);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(app->mainImage(), &right);
    EXPECT_FALSE(app->camerasMenu()->isVisible());
    QAction stranger("Roof");
    stranger.setProperty("title", "Roof");
    stranger.setProperty("tag", 99);
    app->changeCamera(&stranger);
    app->changeCamera(nullptr);
    app->changeServer(nullptr);
    EXPECT_EQ(settings->cameraIdx(), stored);
}

TEST_F(Menus, QuitInFullScreenKeepsTheWindowsOwnFrame) {
    ScriptedServer a(camerasServer(kThree));
    writeServers(dir.path(), {{"Alpha", a.port(), true}}, 0);
    start();
    const QRect frame(60, 40, 500, 360);
    app->window()->setGeometry(frame);
    ASSERT_TRUE(waitForPictureOf(0));
    QTest::keyClick(app->mainImage(), Qt::Key_F11);
    ASSERT_TRUE(app->window()->isFullScreen());
    quit();
    EXPECT_EQ(Settings::createInFolder(dir.path(), "en")->getWinPosition(), QRectF(frame));
}

// Holding an arrow key against a slow server: never more than one picture
// request in flight, and the picture shown is the chosen camera's.
TEST_F(Menus, HundredQuickStepsKeepOneRequestInFlight) {
    auto inFlight = std::make_shared<InFlight>();
    ScriptedServer a(camerasServer(camerasDoc({"A", "B", "C", "D", "E"}), "[]", 60, inFlight));
    writeServers(dir.path(), {{"Alpha", a.port(), true}}, 0);
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    // Each write renames a new file over the old one: a new change time.
    const auto inode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(settingsFile()).constData(), &st);
        return std::pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    };
    std::set<std::pair<time_t, long>> writes;
    QElapsedTimer held;
    held.start();
    for (int i = 0; i < 100; ++i) {
        QTest::keyClick(app->mainImage(), i % 7 == 6 ? Qt::Key_Left : Qt::Key_Right);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        writes.insert(inode());
    }
    EXPECT_LE(writes.size(), static_cast<size_t>(2 * held.elapsed() / 1000) + 2)
        << "a held key is written at most twice a second";
    const int chosen = static_cast<int>(settings->cameraIdx());
    EXPECT_TRUE(waitUntil(
        [&] { return Settings::createInFolder(dir.path(), "en")->cameraIdx() == chosen; }, 5000));
    EXPECT_EQ(checkedItems(app->camerasMenu()), std::vector<int>{chosen});
    ASSERT_TRUE(waitForPictureOf(chosen));
    spinFor(500);  // late pictures of other cameras must not replace it
    EXPECT_EQ(cameraOfPicture(app->mainImage()->picture()), chosen);
    EXPECT_LE(inFlight->most.load(), 1);
}

// A thousand switches of server and camera in quick succession (run under
// ThreadSanitizer too): each server keeps at most one picture request in
// flight, and the picture that settles is the chosen camera's.
TEST_F(Menus, AThousandServerAndCameraSwitches) {
    auto inA = std::make_shared<InFlight>(), inB = std::make_shared<InFlight>();
    ScriptedServer a(camerasServer(camerasDoc({"A0", "A1", "A2"}), "[]", 3, inA));
    ScriptedServer b(camerasServer(camerasDoc({"B0", "B1", "B2", "B3"}), "[]", 3, inB));
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port(), false}}, 0);
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    for (int i = 0; i < 1000; ++i) {
        if (i % 10 == 0) {
            app->changeServer(server((i / 10) % 2));
        } else if (!app->camerasMenu()->isEmpty()) {
            QTest::keyClick(app->mainImage(), i % 3 == 0 ? Qt::Key_Left : Qt::Key_Right);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    ASSERT_TRUE(waitUntil([&] { return !app->camerasMenu()->isEmpty(); }));
    QTest::keyClick(app->mainImage(), Qt::Key_Right);
    const int chosen = static_cast<int>(settings->cameraIdx());
    ASSERT_TRUE(waitForPictureOf(chosen));
    spinFor(300);
    EXPECT_EQ(cameraOfPicture(app->mainImage()->picture()), chosen);
    EXPECT_LE(inA->most.load(), 1);
    EXPECT_LE(inB->most.load(), 1);
    EXPECT_TRUE(alerts->texts.empty());
}
