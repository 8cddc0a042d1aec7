// SPDX-License-Identifier: GPL-3.0-or-later
// Activity in the whole viewer: a cell whose camera's pictures show
// something moving is marked, in every window that shows it, for a while
// after it stops; a still camera never is; View > Activity takes a window's
// marks away.

#include "activitylistwindow.h"
#include "activitywatch.h"
#include "camerawall.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "touchview.h"
#include "viewerkit.h"

#include <QBuffer>
#include <QPainter>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>

namespace {

// A JPEG of colour with, when x >= 0, a dark square at x (of 16ths of the width).
std::string pictureOf(QSize size, QColor colour, int x) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (x >= 0) {
        QPainter p(&image);
        p.fillRect(
            QRect(x * size.width() / 16, size.height() / 3, size.width() / 6, size.height() / 3),
            QColor(20, 20, 20));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return bytes.toStdString();
}

// The cameras of list; camera k's square walks across the middle third of
// its pictures while moves(k) (called on the server's thread).
ScriptedServer::Script walkingSquares(std::function<bool(int)> moves, std::string list = kThree) {
    auto step = std::make_shared<std::atomic<int>>(0);
    return [=](const ScriptedServer::Request& r) {
        int k = -1, w = 0, h = 0;
        if (std::sscanf(r.target.c_str(), "/c/%d/image?resolution=%dx%d", &k, &w, &h) != 3)
            return camerasServer(list)(r);
        const QSize size(std::max(w, 16), std::max(h, 16));
        const int x = moves(k) ? (*step)++ % 12 : -1;
        return ScriptedServer::json(pictureOf(size, cameraColour(k), x));
    };
}

}  // namespace

TEST_F(ViewerFixture, AMovingPictureMarksItsCellsAndAStillOneNever) {
    std::atomic<int> moving{0};  // camera 0's square walks while set
    ScriptedServer a(walkingSquares([&](int k) { return k == 0 && moving; }));
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    app->hub()->edit([&](ControlRoom& r) {
        r.layouts = {Layout{
            "Two", 1, 2, {CameraRef{id, "/c/0", "Gate", 0}, CameraRef{id, "/c/1", "Yard", 1}}}};
    });
    ASSERT_TRUE(app->window()->showLayout("Two"));
    WindowState two;
    two.shows = WindowState::Shows::Layout;
    two.name = "Two";
    RoomWindow* other = app->newWindow(&two);
    const auto marked = [](RoomScreen* room, int cell) {
        return room->wall()->cell(cell)->imageView()->hasActivityMark();
    };
    RoomScreen* first = app->window()->roomScreen();
    spinFor(1500);  // the backgrounds settle on still pictures
    EXPECT_FALSE(marked(first, 0) || marked(other->screenView(), 0)) << "nothing moves yet";
    moving = 1;
    EXPECT_TRUE(waitUntil([&] { return marked(first, 0) && marked(other->screenView(), 0); }));
    EXPECT_FALSE(marked(first, 1) || marked(other->screenView(), 1)) << "the still camera";
    other->menus().activity->trigger();  // View > Activity off in the other window
    EXPECT_FALSE(marked(other->screenView(), 0));
    EXPECT_TRUE(marked(first, 0));
    moving = 0;
    EXPECT_TRUE(waitUntil([&] { return !marked(first, 0); }, ActivityWatch::kHoldMs + 5000))
        << "the mark goes after the hold";
}

// Each camera is judged as the room's activity entry for it says: the same
// walking square marks a camera at Normal and High, never one set Off nor
// one whose ignore zone covers where it walks; a marked camera set Off
// loses its mark at once.
TEST_F(ViewerFixture, ActivitySettingsOfTheRoomDecideWhatIsMarked) {
    using S = CameraActivity::Sensitivity;
    ScriptedServer a(
        walkingSquares([](int) { return true; }, camerasDoc({"Gate", "Yard", "Dock", "Roof"})));
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    const struct {
        const char* camera;
        S sensitivity;
        std::vector<QRectF> zones;
        bool marked;
    } rows[] = {
        {"Gate", S::Normal, {}, true},
        {"Yard", S::Off, {}, false},
        {"Dock", S::Normal, {QRectF(0, 0.25, 1, 0.5)}, false},
        {"Roof", S::High, {QRectF(0, 0, 1, 0.2)}, true},
    };
    Layout four{"Four", 2, 2, {}};
    app->hub()->edit([&](ControlRoom& r) {
        for (int k = 0; k < 4; ++k) {
            const CameraRef ref{id, QString("/c/%1").arg(k), rows[k].camera, k};
            four.cells.push_back(ref);
            r.setActivity(CameraActivity{ref, rows[k].sensitivity, rows[k].zones});
        }
        r.layouts = {four};
    });
    ASSERT_TRUE(app->window()->showLayout("Four"));
    RoomScreen* room = app->window()->roomScreen();
    const auto marked = [&](int cell) {
        return room->wall()->cell(cell)->imageView()->hasActivityMark();
    };
    EXPECT_TRUE(waitUntil([&] { return marked(0) && marked(3); }));
    spinFor(2000);  // a mark lasts the hold: one given meanwhile is still there
    for (int k = 0; k < 4; ++k) EXPECT_EQ(marked(k), rows[k].marked) << rows[k].camera;
    app->hub()->edit([&](ControlRoom& r) {
        r.setActivity(CameraActivity{*four.cells[0], S::Off, {}});
    });
    EXPECT_FALSE(marked(0)) << "Off ends the mark at once";
}

// Window > Activity List: the cameras that moved, newest first; a
// double-click shows one alone in the window that opened the list, Escape
// closes it and gives the keyboard back.
TEST_F(ViewerFixture, TheActivityListShowsTheNewestFirstAndOpensItsCamera) {
    std::atomic<int> mover{-1};  // the camera whose square walks; the others' stand
    std::atomic<int> step{0};
    std::atomic<int> at[2] = {0, 0};
    ScriptedServer a([&](const ScriptedServer::Request& r) {
        int k = -1, w = 0, h = 0;
        if (std::sscanf(r.target.c_str(), "/c/%d/image?resolution=%dx%d", &k, &w, &h) != 3)
            return camerasServer()(r);
        const QSize size(std::max(w, 16), std::max(h, 16));
        if (k == mover) at[k] = step++ % 12;
        return ScriptedServer::json(pictureOf(size, cameraColour(k), k < 2 ? int(at[k]) : -1));
    });
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    app->hub()->edit([&](ControlRoom& r) {
        r.layouts = {Layout{
            "Two", 1, 2, {CameraRef{id, "/c/0", "Gate", 0}, CameraRef{id, "/c/1", "Yard", 1}}}};
    });
    WindowState two;
    two.shows = WindowState::Shows::Layout;
    two.name = "Two";
    RoomWindow* other = app->newWindow(&two);
    spinFor(1500);  // the backgrounds settle on still pictures
    other->menus().activityList->trigger();
    QPointer<ActivityListWindow> list = other->findChild<ActivityListWindow*>();
    ASSERT_TRUE(list);
    QTreeWidget* tree = list->list();
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == tree; }));
    const auto rows = [&] {
        QStringList out;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            out << tree->topLevelItem(i)->text(1) + "@" + tree->topLevelItem(i)->text(2);
        return out.join(' ');
    };
    mover = 1;
    EXPECT_TRUE(waitUntil([&] { return rows() == "Yard@Shop"; })) << rows().toStdString();
    mover = 0;
    EXPECT_TRUE(waitUntil([&] { return rows() == "Gate@Shop Yard@Shop"; })) << rows().toStdString();
    EXPECT_EQ(tree->topLevelItem(0)->text(3), "ongoing");
    const QRect yard = tree->visualItemRect(tree->topLevelItem(1));
    // A double-click as a person makes one: a click, then the second press.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, yard.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, yard.center());
    RoomScreen* room = other->screenView();
    ASSERT_EQ(room->shows(), RoomScreen::Shows::Camera);
    EXPECT_EQ(room->source().layout.cells.front()->cameraUri, "/c/1");
    QTest::keyClick(tree, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !list && QApplication::activeWindow() == other; }));
}

// An Active Cameras layout watches a camera none of its cells shows, by a
// small picture of its own, and gives it a cell once it moves.
TEST_F(ViewerFixture, AnActiveCamerasLayoutGivesAMovingCameraACell) {
    std::atomic<int> moving{0};  // camera 2's square walks while set
    std::atomic<int> step{0};
    ScriptedServer a([&](const ScriptedServer::Request& r) {
        int k = -1, w = 0, h = 0;
        if (std::sscanf(r.target.c_str(), "/c/%d/image?resolution=%dx%d", &k, &w, &h) != 3)
            return camerasServer()(r);
        const QSize size(std::max(w, 16), std::max(h, 16));
        const int x = k == 2 && moving ? step++ % 12 : -1;
        return ScriptedServer::json(pictureOf(size, cameraColour(k), x));
    });
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    const CameraRef gate{id, "/c/0", "Gate", 0}, yard{id, "/c/1", "Yard", 1};
    app->hub()->edit([&](ControlRoom& r) {
        Layout l{"Watch", 2, 2, {gate, yard, gate, yard}};
        l.active = ActiveCameras{{CameraRef{id, "/c/2", "Roof", 2}}, {}, 30};
        r.layouts = {l};
    });
    ASSERT_TRUE(app->window()->showLayout("Watch"));
    LayoutMode* mode = app->window()->roomScreen()->mode();
    const auto roofShown = [&] {
        for (int i = 0; i < mode->cellCount(); ++i)
            if (mode->refAt(i) && mode->refAt(i)->cameraUri == "/c/2") return true;
        return false;
    };
    spinFor(1500);  // the backgrounds settle on still pictures
    EXPECT_FALSE(roofShown()) << "nothing moves yet";
    EXPECT_GT(countOf(a, "/c/2/image?resolution=160x120"), 0u) << "watched off screen";
    moving = 1;
    EXPECT_TRUE(waitUntil(roofShown));
}
