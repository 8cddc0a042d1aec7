// The camera wall in the whole viewer: its persistence in the server record,
// the View menu's commands, the keys, the switch to one camera and back and
// the sound that follows the selection. Layout and paging are WallPages'.

#include <QTest>

#include "camerawall.h"
#include "previewtouchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewerkit.h"

namespace {

std::string names(int n) {
    std::vector<std::string> out;
    for (int k = 0; k < n; ++k) out.push_back("C" + std::to_string(k));
    return camerasDoc(out);
}

class Wall : public ViewerFixture {
protected:
    // One server with the given wall preferences and camera index.
    void writeWall(int port, std::int32_t previewRegim, std::int64_t camOnPage,
                   std::int64_t cameraIdx = 0) {
        writeServers(dir.path(), {{"Alpha", port, true, previewRegim, camOnPage}}, cameraIdx);
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
    void key(int k) { QTest::keyClick(wall(), Qt::Key(k)); }
};

}  // namespace

TEST_F(Wall, ViewMenuEnterAndEscapeSwitchTheWallAndItsLayoutIsKept) {
    ScriptedServer a(camerasServer(names(10)));
    writeWall(a.port(), 7, -3, 6);  // unknown values: no wall, four cameras a page
    start();
    ASSERT_TRUE(waitForPictureOf(6));
    EXPECT_FALSE(wallShown());
    EXPECT_FALSE(ui().actionNextPage->isEnabled()) << "no pages without the wall";
    ui().actionCameraWall->trigger();  // Ctrl+G
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(captions(), QStringList({"C4", "C5", "C6", "C7"})) << "the page holding camera 6";
    EXPECT_EQ(wall()->selectedCell(), 2);
    EXPECT_FALSE(settings->getCurrent()->isRefreshing()) << "the one-camera refresh ended";

    ui().camerasOnPageMenu->actions().at(2)->trigger();  // 9
    EXPECT_EQ(wall()->cellCount(), 9);
    EXPECT_EQ(wall()->selectedCell(), 6);
    ASSERT_TRUE(waitUntil([&] {
        return cameraOfPicture(wall()->cell(6)->imageView()->picture()) == 6 % 5;
    })) << "the cells are live";
    quit();
    EXPECT_EQ(onDisk()->getCurrent()->previewRegim, 1);
    EXPECT_EQ(onDisk()->getCurrent()->camOnPage, 9);

    start();  // the next start comes back on the same wall and page
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", "C3", "C4", "C5", "C6", "C7", "C8"}));
    EXPECT_EQ(wall()->selectedCell(), 6);
    key(Qt::Key_Return);  // to the selected camera alone, and back with Escape
    ASSERT_TRUE(waitForPictureOf(6));
    EXPECT_FALSE(wallShown());
    EXPECT_EQ(settings->getCurrent()->previewRegim, 0);
    const auto escape = [&] { QTest::keyClick(app->mainImage(), Qt::Key_Escape); };
    escape();
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(wall()->selectedCell(), 6);
    EXPECT_EQ(settings->getCurrent()->previewRegim, 1);
    // A double click on a cell of the second page; back on that page.
    ui().actionNextPage->trigger();
    QTest::mouseDClick(wall()->cell(0)->imageView(), Qt::LeftButton);
    ASSERT_TRUE(waitForPictureOf(9));
    EXPECT_EQ(settings->cameraIdx(), 9);
    escape();
    ASSERT_TRUE(wallShown());
    EXPECT_EQ(captions(), QStringList({"C9", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(wall()->selectedCell(), 0);
    ui().actionCameraWall->trigger();
    EXPECT_FALSE(wallShown());
    EXPECT_EQ(settings->getCurrent()->previewRegim, 0);
    ASSERT_TRUE(waitForPictureOf(9)) << "camera 9 alone";
}

TEST_F(Wall, PagingKeysMenuAndClicksMoveTheSelectionAndTheSound) {
    ScriptedServer a(camerasServer(names(10)));  // camera 1 has the microphone
    writeWall(a.port(), 1, 4);
    start();
    ASSERT_TRUE(waitForCaptions({"C0", "C1", "C2", "C3"}));
    const auto click = [&](int cell) {
        QTest::mouseClick(wall()->cell(cell)->imageView(), Qt::LeftButton);
    };
    const auto rightClick = [&](int cell) {
        QTest::mousePress(wall()->cell(cell)->imageView(), Qt::RightButton);
        if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    };
    const struct {
        const char* what;
        std::function<void()> act;
        QString first;  // the page's first camera
        int selected;   // the camera, stored and checked in the menu
    } steps[] = {
        {"Page Down", [&] { ui().actionNextPage->trigger(); }, "C4", 4},
        {"Right", [&] { key(Qt::Key_Right); }, "C4", 5},
        {"Page Up", [&] { ui().actionPreviousPage->trigger(); }, "C0", 1},
        {"sound on", [&] { ui().actionSound->trigger(); }, "C0", 1},
        {"a click on the selected camera", [&] { click(1); }, "C0", 1},
        {"the cameras menu", [&] { app->camerasMenu()->actions().at(9)->trigger(); }, "C8", 9},
        {"a click on an empty cell", [&] { click(3); }, "C8", 9},
        {"a click on a camera", [&] { click(0); }, "C8", 8},
        {"a right click on a camera", [&] { rightClick(1); }, "C8", 9},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(captions().front(), s.first) << s.what;
        EXPECT_EQ(settings->cameraIdx(), s.selected) << s.what;
        EXPECT_EQ(wall()->selectedCell(), s.selected % 4) << s.what;
        EXPECT_EQ(checkedItems(app->camerasMenu()), std::vector<int>{s.selected}) << s.what;
        EXPECT_EQ(soundAvailable(), s.selected == 1) << s.what;
        EXPECT_EQ(ui().actionSound->isChecked(), s.selected == 1 && &s >= &steps[3])
            << s.what << ": sound ends with its camera, not with a click on it";
        EXPECT_TRUE(wallShown()) << s.what;
    }
    a.setScript(camerasServer("[]"));  // a camera list emptied empties the wall
    app->openServer();
    ASSERT_TRUE(waitForCaptions({"", "", "", ""}));
    EXPECT_EQ(wall()->selectedCell(), -1);
    ui().actionNextPage->trigger();
    key(Qt::Key_Right);
    EXPECT_EQ(settings->cameraIdx(), 9) << "nothing to select";
}
