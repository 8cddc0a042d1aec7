// The servers and cameras menus and the keys: what each choice shows, stores
// and writes to the settings file.

#include <QSlider>

#include "viewerkit.h"

namespace {

class Menus : public ViewerFixture {
protected:
    QAction* server(int i) { return app->serversMenu()->actions().at(i); }
    QAction* camera(int i) { return app->camerasMenu()->actions().at(i); }
    bool waitForCameras(const QStringList& names) {
        return waitUntil([&] { return titles(app->camerasMenu()) == names; });
    }
};

}  // namespace

TEST_F(Menus, CamerasAndServersChosenAreShownStoredAndWritten) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate", "Yard", "Twin", "Twin"})));
    ScriptedServer b(camerasServer(camerasDoc({"Dock", "Lobby"}), "[]"));
    // A stored index beyond the list: camera 0.
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}}, 7);
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    const struct {
        int item;  // or a key when negative
        Qt::Key key;
        std::vector<int> on;  // items on afterwards
        int shown;            // camera shown and stored
        bool sound;
    } cases[] = {
        {-1, Qt::Key_Right, {1}, 1, true},
        {-1, Qt::Key_Left, {0}, 0, false},
        {0, {}, {0}, 0, false},     // the camera already shown
        {2, {}, {2, 3}, 3, false},  // same names: the later one
        {1, {}, {1}, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.item << " " << c.key);
        QFile::remove(dir.filePath("settings.dat"));
        if (c.item >= 0)
            camera(c.item)->trigger();
        else
            QTest::keyClick(app->mainImage(), c.key);
        EXPECT_EQ(checkedItems(app->camerasMenu()), c.on);
        EXPECT_EQ(settings->cameraIdx(), c.shown);
        EXPECT_EQ(soundAvailable(), c.sound);
        EXPECT_EQ(AppAccess::audioSlider(*app)->isEnabled(), c.sound);
        EXPECT_TRUE(waitUntil([&] {
            return QFile::exists(dir.filePath("settings.dat")) && onDisk()->cameraIdx() == c.shown;
        })) << "written soon";
        ASSERT_TRUE(waitForPictureOf(c.shown));
    }

    // Another server: its first camera, and the old one's refresh ends.
    const auto alpha = settings->getCurrent();
    server(1)->trigger();
    EXPECT_FALSE(alpha->isRefreshing()) << "only the current server is polled";
    EXPECT_EQ(checkedItems(app->serversMenu()), std::vector<int>{1});
    EXPECT_EQ(settings->cameraIdx(), 0);
    EXPECT_FALSE(soundAvailable()) << "Beta's lists have not arrived";
    EXPECT_TRUE(waitUntil([&] { return onDisk()->cameraIdx() == 0; })) << "and written";
    ASSERT_TRUE(waitForCameras({"Dock", "Lobby"}));
    ASSERT_TRUE(waitForPictureOf(0));
    QTest::keyClick(app->mainImage(), Qt::Key_Right);
    const size_t lists = countOf(b, "/cameras");
    server(1)->trigger();  // the current server again: a fresh load from camera 0
    EXPECT_EQ(settings->cameraIdx(), 0);
    ASSERT_TRUE(waitUntil([&] { return countOf(b, "/cameras") > lists; }));
    ASSERT_TRUE(waitForPictureOf(0));
    quit();
    EXPECT_EQ(onDisk()->getCurrent()->name(), "Beta");
}
