// SPDX-License-Identifier: GPL-3.0-or-later
// The camera wall's layout, paging and selection rules, and its cells'
// controls, on real widgets (offscreen).

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "cameradrag.h"
#include "camerawall.h"
#include "previewtouchimage.h"
#include "touchview.h"
#include "wallpages.h"

using Move = WallPages::Move;

TEST(WallPages, LayoutOfAStoredCount) {
    // clang-format off
    const struct { std::int64_t camOnPage; int columns, rows; } cases[] = {
        {1, 1, 1},  {2, 2, 2},  {4, 2, 2}, {5, 3, 3},  {9, 3, 3},   {16, 4, 4},
        {25, 5, 5}, {36, 6, 6}, {0, 2, 2}, {-1, 2, 2}, {100, 2, 2}, {37, 2, 2},
    };
    // clang-format on
    for (const auto& c : cases) {
        const WallPages pages(10, c.camOnPage);
        EXPECT_EQ(std::tuple(pages.columns(), pages.rows(), pages.cells()),
                  std::tuple(c.columns, c.rows, c.columns * c.rows))
            << c.camOnPage;
    }
}

TEST(WallPages, PagingWrapsAtTheEdges) {
    // clang-format off
    const struct { const char* name; std::int64_t cameras, camOnPage, selected; bool forward;
                   std::int64_t expected; } cases[] = {
        {"fewer cameras than cells: the same page", 3, 4, 1, true, 1},
        {"fewer cameras than cells, back", 3, 4, 2, false, 2},
        {"exactly one page", 4, 4, 3, true, 3},
        {"to the second page, same cell", 10, 4, 1, true, 5},
        {"to the partial last page: its last camera", 10, 4, 7, true, 9},
        {"after the last page the first", 10, 4, 9, true, 1},
        {"before the first page the last", 10, 4, 2, false, 9},
        {"before the first page the last, cell there", 10, 4, 0, false, 8},
        {"one camera", 1, 9, 0, false, 0},
        {"no cameras", 0, 4, 0, true, -1},
        {"selection outside the list starts at 0", 10, 4, 42, true, 4},
    };
    // clang-format on
    for (const auto& c : cases) {
        const WallPages pages(c.cameras, c.camOnPage);
        EXPECT_EQ(pages.turnPage(c.selected, c.forward), c.expected) << c.name;
    }
}

TEST(WallPages, SelectionRingCrossesPages) {
    // 10 cameras, 4 a page: pages {0 1 / 2 3}, {4 5 / 6 7}, {8 9 / - -}.
    // clang-format off
    const struct { const char* name; std::int64_t selected; Move move; std::int64_t expected; } cases[] = {
        {"right within the page", 0, Move::Right, 1},
        {"right off the page: the next one", 3, Move::Right, 4},
        {"right off the last camera: the first", 9, Move::Right, 0},
        {"left off the first camera: the last", 0, Move::Left, 9},
        {"left off a page: the previous one", 4, Move::Left, 3},
        {"down within the page", 1, Move::Down, 3},
        {"down off the page: top row of the next", 3, Move::Down, 5},
        {"down into the partial page's empty column", 7, Move::Down, 9},
        {"down off the partial last page: the first", 9, Move::Down, 1},
        {"up within the page", 6, Move::Up, 4},
        {"up off the page: bottom row of the previous", 4, Move::Up, 2},
        {"up off the first page: the last page's camera", 1, Move::Up, 9},
        {"up off the first page, column without bottom camera", 0, Move::Up, 8},
        {"selection outside the list starts at 0", -1, Move::Right, 0},
    };
    // clang-format on
    const WallPages pages(10, 4);
    for (const auto& c : cases) EXPECT_EQ(pages.move(c.selected, c.move), c.expected) << c.name;
    EXPECT_EQ(WallPages(0, 4).move(0, Move::Right), -1) << "no cameras";
    EXPECT_EQ(WallPages(1, 4).move(0, Move::Down), 0) << "one camera";
}

namespace {

void click(QWidget* w, QEvent::Type type, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent e(type, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(CameraWall, CellsReportToTheWallAndTheSelectedOneIsFramed) {
    CameraWall wall;
    wall.resize(400, 300);
    wall.setGrid(4, 2);
    wall.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
    QSignalSpy pressed(&wall, &CameraWall::cellPressed);
    QSignalSpy activated(&wall, &CameraWall::cellActivated);
    QSignalSpy pages(&wall, &CameraWall::pageStep);
    QSignalSpy arrows(&wall, &CameraWall::arrowKey);
    PreviewTouchImage* third = wall.cell(2)->imageView();
    click(third, QEvent::MouseButtonPress);
    click(third, QEvent::MouseButtonDblClick);
    EXPECT_EQ(pressed.value(0).value(0).toInt(), 2);
    click(wall.cell(1)->imageView(), QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(pressed.value(1).value(0).toInt(), 1) << "the right button selects too";
    EXPECT_EQ(activated.value(0).value(0).toInt(), 2);
    EXPECT_FALSE(third->inFullScreen()) << "a double click opens the camera instead";
    // A wheel tilt to the right is a page forward.
    QWheelEvent tilt(QPointF(10, 10), third->mapToGlobal(QPointF(10, 10)), QPoint(),
                     QPoint(-120, 0), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(third, &tilt);
    EXPECT_EQ(pages.value(0).value(0), QVariant(true));
    QTest::keyClick(&wall, Qt::Key_Down);
    EXPECT_EQ(arrows.value(0).value(0).toInt(), int(Qt::Key_Down));
    QTest::keyClick(&wall, Qt::Key_Return);
    EXPECT_EQ(activated.size(), 1) << "nothing selected, nothing opened";
    wall.setSelectedCell(3);
    QTest::keyClick(&wall, Qt::Key_Return);
    EXPECT_EQ(activated.value(1).value(0).toInt(), 3);

    // The frame's middle, 2 px inside the edges, of the selected and a plain cell.
    const QImage shot = wall.grab().toImage();
    const auto frameRed = [&](int cell) {
        const QRect r = wall.cell(cell)->geometry();
        return shot.pixelColor(r.center().x(), r.top() + 2).red();
    };
    EXPECT_GT(frameRed(3), 200);
    EXPECT_LT(frameRed(0), 80);
    EXPECT_EQ(wall.cell(1)->imageView()->geometry(), wall.cell(1)->rect().adjusted(5, 5, -5, -5))
        << "the picture sits 5 px inside the cell";
}

TEST(CameraWall, ALoneCellZoomsAndSeveralCellsKeepTheirControls) {
    // Keys on the wall: + - 0, k the keypad's +; on cell 0: w Ctrl+wheel
    // (one notch), t a wheel tilt (a page); g the grid made anew (4 cells,
    // then 1 again).
    // clang-format off
    const struct { int cells; const char* acts; double factor; int pages; } cases[] = {
        {1, "+", 1.414, 0}, {1, "k+", 2, 0},     {1, "++-", 1.414, 0}, {1, "+++0", 1, 0},
        {1, "ww", 2, 0},    {1, "+t", 1.414, 1}, {1, "++g", 1, 0},
        {4, "+k", 1, 0},    {4, "w", 1, 0},      {4, "+kt", 1, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        CameraWall wall;
        wall.resize(400, 300);
        wall.setGrid(c.cells, 2);
        wall.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
        QSignalSpy pages(&wall, &CameraWall::pageStep);
        PreviewTouchImage* image = wall.cell(0)->imageView();
        const QPointF at(10, 10), global = image->mapToGlobal(at);
        const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers mods) {
            QWheelEvent e(at, global, {}, delta, Qt::NoButton, mods, Qt::NoScrollPhase, false);
            QApplication::sendEvent(image, &e);
        };
        for (const char* a = c.acts; *a; ++a) {
            if (*a == '+' || *a == '-' || *a == '0') QTest::keyClick(&wall, *a);
            if (*a == 'k') QTest::keyClick(&wall, Qt::Key_Plus, Qt::KeypadModifier);
            if (*a == 'w') wheel({0, 120}, Qt::ControlModifier);
            if (*a == 't') wheel({-120, 0}, Qt::NoModifier);
            if (*a == 'g') {
                wall.setGrid(4, 2);
                wall.setGrid(1, 1);
                image = wall.cell(0)->imageView();
            }
        }
        EXPECT_NEAR(image->zoom().factor(), c.factor, 0.001) << c.cells << c.acts;
        EXPECT_EQ(pages.size(), c.pages) << c.cells << c.acts;
    }
}

namespace {

const QString kServer = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";

enum class Carries { Camera, CameraWithoutServer, OwnCell1, OwnCell2, OtherWallsCell, Text };

std::unique_ptr<QMimeData> carried(Carries what, const CameraWall* wall, const CameraRef& ref) {
    switch (what) {
        case Carries::Camera:
            return cameradrag::cameraData(ref, ref.cameraName);
        case Carries::CameraWithoutServer:
            return cameradrag::cameraData(CameraRef{"", "/c/1", "Gate", 0}, "Gate");
        case Carries::OwnCell1:
            return cameradrag::cellData(wall, 1);
        case Carries::OwnCell2:
            return cameradrag::cellData(wall, 2);
        case Carries::OtherWallsCell: {
            const CameraWall other;
            return cameradrag::cellData(&other, 1);
        }
        case Carries::Text:
            break;
    }
    auto data = std::make_unique<QMimeData>();
    data->setText("Gate");
    return data;
}

}  // namespace

TEST(CameraWall, DropsOnCellsAreReportedWhileCellDraggingIsOn) {
    // clang-format off
    const struct { const char* what; bool dragging; Carries carries; int onto; bool taken;
                   QString reported; } cases[] = {
        {"a camera", true, Carries::Camera, 3, true, "camera 3"},
        {"a cell of the wall", true, Carries::OwnCell1, 2, true, "swap 1 2"},
        {"a cell onto itself", true, Carries::OwnCell2, 2, true, ""},
        {"a camera without its server", true, Carries::CameraWithoutServer, 0, false, ""},
        {"another wall's cell", true, Carries::OtherWallsCell, 2, false, ""},
        {"plain text", true, Carries::Text, 0, false, ""},
        {"a camera, dragging off", false, Carries::Camera, 3, false, ""},
    };
    // clang-format on
    const CameraRef ref{kServer, "/cam/7", "Gate", 7};
    for (const auto& c : cases) {
        CameraWall wall;
        wall.resize(400, 300);
        wall.setGrid(4, 2);
        wall.setCellDragging(c.dragging);
        wall.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
        QString reported;
        QObject::connect(&wall, &CameraWall::cameraDropped, [&](int cell, const CameraRef& r) {
            reported = QString("camera %1").arg(cell);
            EXPECT_EQ(r, ref);
        });
        QObject::connect(&wall, &CameraWall::cellsSwapped, [&](int from, int to) {
            reported = QString("swap %1 %2").arg(from).arg(to);
        });
        const std::unique_ptr<QMimeData> data = carried(c.carries, &wall, ref);
        // Sent to the cell's picture, as a real drag would be; the wall takes it.
        PreviewTouchImage* target = wall.cell(c.onto)->imageView();
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at.toPoint(), actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_EQ(wall.cell(c.onto)->isDropTarget(), c.taken) << c.what;
        QDropEvent drop(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(enter.isAccepted() && drop.isAccepted(), c.taken) << c.what;
        EXPECT_EQ(reported, c.reported) << c.what;
        EXPECT_FALSE(wall.cell(c.onto)->isDropTarget()) << c.what;
    }
}

TEST(CameraWall, APressMovedOnACellAsksForADragOnlyWhileDraggingIsOn) {
    const int far = QApplication::startDragDistance() + 2;
    // clang-format off
    // zoomed: zoomable and at 2x, where a drag pans instead.
    const struct { bool dragging; int moved; Qt::MouseButtons held; int requests;
                   bool zoomed = false, pans = false; } cases[] = {
        {true, far, Qt::LeftButton, 1}, {true, 1, Qt::LeftButton, 0},
        {true, far, Qt::NoButton, 0}, {false, far, Qt::LeftButton, 0},
        {true, far, Qt::LeftButton, 0, true, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        PreviewTouchImage image;
        image.resize(200, 150);
        image.setDragEnabled(c.dragging);
        image.setZoomable(c.zoomed);
        if (c.zoomed) image.zoomAt(2.0, QPointF(199, 149));
        const QRectF shown = image.zoom().visible();
        QSignalSpy requests(&image, &PreviewTouchImage::dragRequested);
        QSignalSpy pages(&image, &PreviewTouchImage::pageStep);
        const QPointF from(50, 50), to(50 + c.moved, 50);
        QMouseEvent press(QEvent::MouseButtonPress, from, image.mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&image, &press);
        for (int i = 0; i < 2; ++i) {  // a second move starts no second drag
            QMouseEvent move(QEvent::MouseMove, to, image.mapToGlobal(to), Qt::NoButton, c.held,
                             Qt::NoModifier);
            QApplication::sendEvent(&image, &move);
        }
        EXPECT_EQ(requests.size(), c.requests) << c.dragging << c.moved;
        EXPECT_EQ(image.zoom().visible() != shown, c.pans) << c.dragging << c.moved;
        EXPECT_EQ(pages.size(), 0);
    }
}

// A wall of a large cell among small ones (1+5 on a 3x3 grid): the large
// cell is drawn as large as its slots and asked for pictures at that size,
// points and arrow keys find the cells as drawn.
TEST(CameraWall, ALargeCellCoversItsSlots) {
    Layout shape;
    shape.applyTemplate("1+5");
    CameraWall wall;
    wall.resize(600, 600);
    wall.setGrid(shape.rows, shape.columns, shape.cellRects());
    wall.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
    ASSERT_EQ(wall.cellCount(), 6);
    const auto area = [](QSize s) { return s.width() * s.height(); };
    EXPECT_EQ(wall.cell(0)->geometry(), QRect(0, 0, 400, 400));
    EXPECT_EQ(area(wall.cell(0)->size()), 4 * area(wall.cell(5)->size()));
    EXPECT_GT(area(wall.cell(0)->imageView()->askedPixels()),
              3 * area(wall.cell(1)->imageView()->askedPixels()));
    // clang-format off
    const struct { QPoint at; int cell; } points[] = {
        {{10, 10}, 0}, {{390, 390}, 0}, {{450, 100}, 1}, {{450, 300}, 2}, {{100, 500}, 3},
        {{599, 599}, 5}, {{700, 10}, -1},
    };
    const struct { int from, key, to; } moves[] = {
        {0, Qt::Key_Right, 1}, {0, Qt::Key_Down, 3}, {0, Qt::Key_Left, -1}, {0, Qt::Key_Up, -1},
        {2, Qt::Key_Left, 0}, {3, Qt::Key_Up, 0}, {4, Qt::Key_Up, 0}, {5, Qt::Key_Up, 2},
        {4, Qt::Key_Right, 5}, {1, Qt::Key_Down, 2}, {1, Qt::Key_Right, -1}, {0, Qt::Key_Return, -1},
    };
    // clang-format on
    for (const auto& p : points) EXPECT_EQ(wall.cellAt(p.at), p.cell) << p.at.x() << p.at.y();
    for (const auto& m : moves) EXPECT_EQ(wall.neighbour(m.from, m.key), m.to) << m.from << m.key;
}
