// The camera wall in the whole viewer (offscreen) against scripted servers
// on loopback: its persistence in the server record, the View menu's
// commands, the keys, the switch to one camera and back, a server change
// and the sound that follows the selection. The layout and paging rules
// themselves are tested with WallPages.

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "camerawall.h"
#include "menutestkit.h"
#include "previewtouchimage.h"
#include "testutil.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewerfixture.h"
#include "wallmode.h"
#include "wallrefresh.h"

namespace {

std::vector<std::string> names(int n) {
    std::vector<std::string> out;
    for (int k = 0; k < n; ++k) out.push_back("C" + std::to_string(k));
    return out;
}

const std::string kMicOnCamera1 = R"([{"name":"m","camera-uri":"/c/1","audio-uri":"/m/0.mp3"}])";

class Wall : public ViewerFixture {
protected:
    // One server on port with the given wall preferences and camera index.
    void writeWall(int port, std::int32_t previewRegim, std::int64_t camOnPage,
                   std::int64_t cameraIdx = 0) {
        writeServers(dir.path(), {{"Alpha", port, true}}, cameraIdx);
        auto store = Settings::createInFolder(dir.path(), "en");
        store->getCurrent()->previewRegim = previewRegim;
        store->getCurrent()->camOnPage = camOnPage;
        store->save();
    }
    Ui::ZVMainWindow& ui() { return app->window()->ui(); }
    CameraWall* wall() { return app->cameraWall(); }
    bool wallShown() { return !wall()->isHidden() && app->mainImage()->isHidden(); }
    // The cameras' names in the cells of the page, "" for an empty cell.
    QStringList captions() {
        QStringList out;
        for (int i = 0; i < wall()->cellCount(); ++i)
            out << wall()->cell(i)->imageView()->caption();
        return out;
    }
    bool waitForCaptions(const QStringList& expected) {
        return waitUntil([&] { return captions() == expected; });
    }
    bool waitForCameraCount(int n) {
        return waitUntil([&] { return app->camerasMenu()->actions().size() == n; });
    }
    void key(int k) { QTest::keyClick(wall(), Qt::Key(k)); }
    bool soundAvailable() { return app->soundMenu()->menuAction()->isEnabled(); }
};

}  // namespace

TEST_F(Wall, StoredModeAndLayoutAreUsedAndKept) {
    ScriptedServer a(camerasServer(camerasDoc(names(10))));
    // The layout itself is WallPages' rule; here only that it is used.
    struct Case {
        std::int32_t previewRegim;
        std::int64_t camOnPage;
        bool wall;
        int cells;
    } cases[] = {
        {0, 0, false, 0},   {1, 1, true, 1}, {7, 7, false, 0},
        {-3, -3, false, 0}, {1, 7, true, 9}, {1, -3, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.previewRegim << " " << c.camOnPage);
        writeWall(a.port(), c.previewRegim, c.camOnPage, 0);
        start();
        ASSERT_TRUE(waitForCameraCount(10));
        EXPECT_EQ(wallShown(), c.wall);
        EXPECT_EQ(ui().actionCameraWall->isChecked(), c.wall);
        if (c.wall) {
            EXPECT_EQ(wall()->cellCount(), c.cells);
            EXPECT_EQ(captions().front(), "C0");
            // Moving about the wall writes the file; the preferences stay.
            ui().actionNextPage->trigger();
        }
        quit();
        const auto onDisk = Settings::createInFolder(dir.path(), "en");
        EXPECT_EQ(onDisk->getCurrent()->previewRegim, c.previewRegim);
        EXPECT_EQ(onDisk->getCurrent()->camOnPage, c.camOnPage);
    }
}

TEST_F(Wall, ViewMenuSwitchesTheWallAndItsLayoutAndKeepsThem) {
    ScriptedServer a(camerasServer(camerasDoc(names(10))));
    writeWall(a.port(), 0, 4, 6);
    start();
    ASSERT_TRUE(waitForCameraCount(10));
    EXPECT_FALSE(wallShown());
    EXPECT_FALSE(ui().actionNextPage->isEnabled()) << "no pages without the wall";

    ui().actionCameraWall->trigger();  // Ctrl+G
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(captions(), QStringList({"C4", "C5", "C6", "C7"})) << "the page holding camera 6";
    EXPECT_EQ(wall()->selectedCell(), 2);
    EXPECT_FALSE(settings->getCurrent()->isRefreshing()) << "the one-camera refresh ended";

    ui().camerasOnPageMenu->actions().at(2)->trigger();  // 9
    EXPECT_EQ(wall()->cellCount(), 9);
    EXPECT_EQ(captions().front(), "C0");
    EXPECT_EQ(wall()->selectedCell(), 6);
    ASSERT_TRUE(waitUntil([&] {
        const QImage p = wall()->cell(6)->imageView()->picture();
        return cameraOfPicture(p) == 6 % 5;
    })) << "the cells are live";
    quit();
    const auto onDisk = Settings::createInFolder(dir.path(), "en");
    EXPECT_EQ(onDisk->getCurrent()->previewRegim, 1);
    EXPECT_EQ(onDisk->getCurrent()->camOnPage, 9);
    EXPECT_EQ(onDisk->cameraIdx(), 6);

    // The next start comes back on the same wall and page.
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", "C3", "C4", "C5", "C6", "C7", "C8"}));
    EXPECT_TRUE(wallShown());
    EXPECT_EQ(wall()->selectedCell(), 6);
    ui().actionCameraWall->trigger();
    EXPECT_FALSE(wallShown());
    EXPECT_EQ(settings->getCurrent()->previewRegim, 0);
    ASSERT_TRUE(waitUntil([&] { return cameraOfPicture(app->mainImage()->picture()) == 1; }))
        << "camera 6 alone";
}

TEST_F(Wall, PagingKeysAndMenuMoveTheSelection) {
    ScriptedServer a(camerasServer(camerasDoc(names(10))));
    writeWall(a.port(), 1, 4, 0);
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", "C3"}));
    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList page;
        int selected;  // the camera, stored and checked in the menu
    } steps[] = {
        {"Page Down", [&] { ui().actionNextPage->trigger(); }, {"C4", "C5", "C6", "C7"}, 4},
        {"Right", [&] { key(Qt::Key_Right); }, {"C4", "C5", "C6", "C7"}, 5},
        {"Page Up", [&] { ui().actionPreviousPage->trigger(); }, {"C0", "C1", "C2", "C3"}, 1},
        {"the cameras menu",
         [&] { app->camerasMenu()->actions().at(9)->trigger(); },
         {"C8", "C9", "", ""},
         9},
        {"a click on an empty cell",
         [&] { QTest::mouseClick(wall()->cell(3)->imageView(), Qt::LeftButton); },
         {"C8", "C9", "", ""},
         9},
        {"a click on a camera",
         [&] { QTest::mouseClick(wall()->cell(0)->imageView(), Qt::LeftButton); },
         {"C8", "C9", "", ""},
         8},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(captions(), s.page) << s.what;
        EXPECT_EQ(settings->cameraIdx(), s.selected) << s.what;
        EXPECT_EQ(wall()->selectedCell(), s.selected % 4) << s.what;
        EXPECT_TRUE(app->camerasMenu()->actions().at(s.selected)->isChecked()) << s.what;
        EXPECT_TRUE(wallShown()) << s.what;
    }
}

TEST_F(Wall, EnterAndEscapeBetweenTheWallAndOneCamera) {
    ScriptedServer a(camerasServer(camerasDoc(names(6))));
    writeWall(a.port(), 1, 4, 0);
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", "C3"}));
    const auto shownAlone = [&](int k) {
        return waitUntil(
            [&] { return !wallShown() && cameraOfPicture(app->mainImage()->picture()) == k % 5; });
    };

    key(Qt::Key_Right);
    key(Qt::Key_Return);
    ASSERT_TRUE(shownAlone(1));
    EXPECT_EQ(settings->getCurrent()->previewRegim, 0);
    QTest::keyClick(app->mainImage(), Qt::Key_Escape);
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(wall()->selectedCell(), 1);
    EXPECT_EQ(settings->getCurrent()->previewRegim, 1);

    // A double click on a cell of the second page; back on that page.
    ui().actionNextPage->trigger();
    QTest::mouseDClick(wall()->cell(1)->imageView(), Qt::LeftButton);
    ASSERT_TRUE(shownAlone(5));
    EXPECT_EQ(settings->cameraIdx(), 5);
    // In full screen Escape leaves full screen first.
    ui().actionFullScreen->trigger();
    ASSERT_TRUE(app->mainImage()->inFullScreen());
    QTest::keyClick(app->mainImage(), Qt::Key_Escape);
    EXPECT_FALSE(app->mainImage()->inFullScreen());
    EXPECT_FALSE(wallShown());
    QTest::keyClick(app->mainImage(), Qt::Key_Escape);
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(captions(), QStringList({"C4", "C5", "", ""}));
    EXPECT_EQ(wall()->selectedCell(), 1);

    // Escape in a camera that was not opened out of the wall stays there.
    ui().actionCameraWall->trigger();
    ASSERT_FALSE(wallShown());
    QTest::keyClick(app->mainImage(), Qt::Key_Escape);
    EXPECT_FALSE(wallShown());
}

TEST_F(Wall, ServerChangeEndsTheOldServersRequests) {
    ScriptedServer a(camerasServer(camerasDoc(names(4))));
    // Beta's camera list comes late: Alpha's wall must end before it does.
    ScriptedServer b([list = camerasServer(camerasDoc(names(2)))](const auto& r) {
        if (r.target == "/cameras") std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return list(r);
    });
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}}, 0);
    {
        auto store = Settings::createInFolder(dir.path(), "en");
        for (const auto& s : store->getServers()) s->previewRegim = 1;
        store->save();
    }
    start();
    ASSERT_TRUE(waitUntil([&] { return picturesOf(a) >= 8; })) << "all four cells live";

    app->serversMenu()->actions().at(1)->trigger();
    const size_t atChange = picturesOf(a);
    EXPECT_EQ(captions(), QStringList({"", "", "", ""})) << "until Beta's list arrives";
    spinFor(300);
    // Requests already on their way may still arrive, nothing after them.
    EXPECT_LE(picturesOf(a), atChange + 4);
    const size_t settled = picturesOf(a);
    spinFor(500);
    EXPECT_EQ(picturesOf(a), settled);
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "", ""}));
    ASSERT_TRUE(waitUntil([&] { return picturesOf(b) >= 4; }));
    EXPECT_EQ(app->wallMode()->server(), settings->getCurrent());
    EXPECT_EQ(picturesOf(a), settled);
}

TEST_F(Wall, SoundFollowsTheSelection) {
    ScriptedServer a(camerasServer(camerasDoc(names(3)), kMicOnCamera1));
    writeWall(a.port(), 1, 4, 0);
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", ""}));
    EXPECT_FALSE(soundAvailable()) << "camera 0 has no microphone";
    key(Qt::Key_Right);
    EXPECT_TRUE(soundAvailable());
    ui().actionSound->trigger();
    EXPECT_TRUE(ui().actionSound->isChecked());
    EXPECT_TRUE(waitUntil([&] {
        const auto r = a.requests();
        return std::any_of(r.begin(), r.end(),
                           [](const auto& q) { return q.target.rfind("/m/0.mp3", 0) == 0; });
    })) << "the selected camera's microphone";
    key(Qt::Key_Right);
    EXPECT_FALSE(ui().actionSound->isChecked()) << "the sound of the camera left ends";
    EXPECT_FALSE(soundAvailable());
}

TEST_F(Wall, ACameraListEmptiedEmptiesTheWall) {
    ScriptedServer a(camerasServer(camerasDoc(names(3))));
    writeWall(a.port(), 1, 4, 2);
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", ""}));
    ASSERT_TRUE(waitUntil([&] { return picturesOf(a) >= 3; }));
    a.setScript(camerasServer("[]"));
    app->openServer();
    ASSERT_TRUE(waitForCaptions({"", "", "", ""}));
    EXPECT_EQ(wall()->selectedCell(), -1);
    ui().actionNextPage->trigger();
    key(Qt::Key_Right);
    EXPECT_EQ(settings->cameraIdx(), 2) << "nothing to select";
    spinFor(300);  // requests already out may still arrive
    const size_t settled = picturesOf(a);
    spinFor(500);
    EXPECT_EQ(picturesOf(a), settled);
}
