// SPDX-License-Identifier: GPL-3.0-or-later
// The picture view's own controls: the camera ring, the context menu, click
// counting, full screen and the keys, on a real widget (offscreen).

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "touchimage.h"

namespace {

// The position in menu of the item the view chose, or none (-1: chosen
// from a menu that is gone).
std::optional<int> chosen(const QSignalSpy& spy, QMenu* menu) {
    if (spy.isEmpty()) return std::nullopt;
    if (!menu) return -1;
    return static_cast<int>(menu->actions().indexOf(spy.last().at(0).value<QAction*>()));
}

// A left press and release at a place on the screen (the window may move
// under the pointer when it goes full screen).
void clickAt(QWidget* w, quint64 ms, QPointF global) {
    const QPointF at = w->mapFromGlobal(global);
    QMouseEvent e(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, {});
    e.setTimestamp(ms);
    QApplication::sendEvent(w, &e);
    QMouseEvent r(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
    r.setTimestamp(ms + 1);
    QApplication::sendEvent(w, &r);
}

// A main window holding the view, with a menu bar, as the viewer has it.
struct Window {
    Window() {
        main.setMenuBar(new QMenuBar);
        main.menuBar()->addMenu("Cameras");
        main.setCentralWidget(view);
        main.resize(400, 300);
        main.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&main));
    }
    QMainWindow main;
    TouchImage* view = new TouchImage;
};

}  // namespace

TEST(TouchImage, CameraStepWalksTheMenuAsARing) {
    // clang-format off
    struct Case { const char* name; int count; std::initializer_list<int> on; bool forward;
                  std::optional<int> expected; bool menuGone = false; } cases[] = {
        {"last, forward: wraps to the first", 3, {2}, true, 0},
        {"first, backward: wraps to the last", 3, {0}, false, 2},
        {"none on, forward: counts from the first", 3, {}, true, 1},
        {"none on, backward: the last", 3, {}, false, 2},
        {"one camera, forward", 1, {0}, true, 0},
        {"two on: the last one counts", 4, {0, 2}, true, 3},
        {"empty menu", 0, {}, true, std::nullopt},
        {"a menu that went away is not used", 2, {0}, false, std::nullopt, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        TouchImage view;
        auto menu = std::make_unique<QMenu>();  // count checkable items, those in on checked
        for (int i = 0; i < c.count; ++i) menu->addAction(QString::number(i))->setCheckable(true);
        for (int i : c.on) menu->actions()[i]->setChecked(true);
        view.setCamerasMenu(menu.get());
        if (c.menuGone) menu.reset();
        QSignalSpy spy(&view, &TouchImage::cameraChosen);
        view.cameraStep(c.forward);
        EXPECT_TRUE(chosen(spy, menu.get()) == c.expected && spy.size() <= 1) << c.name;
    }
}

TEST(TouchImage, ClickCountTogglesFullScreenAndTheMenuBar) {
    Window w;
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    // clang-format off
    struct Click { quint64 ms; QPointF at; int count; bool fullScreen; } clicks[] = {
        {1000, {20, 20}, 1, false},
        {1000 + 50, {21, 20}, 2, true},                            // double click: on
        {1000 + 100, {21, 21}, 3, false},                          // triple: off again
        {1000 + 100 + quint64(interval) + 1, {21, 21}, 1, false},  // too late
        {9000, {20, 20}, 1, false},
        {9050, {200, 150}, 1, false},  // too far
        {9100, {200, 150}, 2, true},
    };
    // clang-format on
    const QPointF origin = w.view->mapToGlobal(QPointF(0, 0));
    for (const Click& c : clicks) {
        clickAt(w.view, c.ms, origin + c.at);
        EXPECT_EQ(std::tuple(w.view->clickCount(), w.view->inFullScreen(), w.main.isFullScreen(),
                             w.main.menuBar()->isVisible()),
                  std::tuple(c.count, c.fullScreen, c.fullScreen, !c.fullScreen))
            << c.ms;
    }
}

TEST(TouchImage, FullScreenKeysAndTheRequestedSize) {
    Window w;
    w.main.setWindowState(Qt::WindowMaximized);
    QTest::keyClick(w.view, Qt::Key_F);
    ASSERT_TRUE(w.view->inFullScreen());
    const QSize screen = w.main.screen()->geometry().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->boundsSize() == QSizeF(screen); }, 5000))
        << "the picture alone fills the screen, and is asked for at that size";
    QTest::keyClick(w.view, Qt::Key_Escape);
    EXPECT_FALSE(w.view->inFullScreen());
    EXPECT_TRUE(w.main.windowState() & Qt::WindowMaximized) << "back to maximised";
    EXPECT_TRUE(w.main.menuBar()->isVisible());

    // The window leaving full screen on its own is followed.
    QTest::keyClick(w.view, Qt::Key_F11);
    w.main.setWindowState(w.main.windowState() & ~Qt::WindowFullScreen);
    EXPECT_FALSE(w.view->inFullScreen());
    EXPECT_TRUE(w.main.menuBar()->isVisible());
}

TEST(TouchImage, PaintsThePictureFittedAveragedAndZoomed) {
    // One white column in four: scaled to a quarter of its width or less,
    // an even grey of a quarter of white (64); sampled rather than
    // averaged, black or white columns.
    const auto columns = [](QSize size) {
        QImage tile(4, 1, QImage::Format_RGB32);
        tile.fill(Qt::black);
        tile.setPixel(0, 0, qRgb(255, 255, 255));
        QImage image(size, QImage::Format_RGB32);
        QPainter(&image).fillRect(image.rect(), QBrush(tile));
        return image;
    };
    // One view throughout: a resize must scale the same picture again. Each
    // case: where the picture goes (black around it), and whether it shows the
    // picture's own pixels, else an even grey.
    // clang-format off
    struct Case { const char* what; QImage picture; QSize view; QRect placed; bool asItIs; } cases[] = {
        {"1920x1080 in 300x135: bars beside", columns({1920, 1080}), {300, 135}, {30, 0, 240, 135}, false},
        {"480x270 in 480x270", columns({480, 270}), {480, 270}, {0, 0, 480, 270}, true},
    };
    // clang-format on
    TouchImage view;
    view.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.setPicture(c.picture);
        view.resize(c.view);
        const QImage painted = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(painted.size(), c.view);
        int wrong = 0;
        for (int y = 0; y < painted.height(); ++y)
            for (int x = 0; x < painted.width(); ++x) {
                const QRgb p = painted.pixel(x, y);
                wrong += !c.placed.contains(x, y) ? qGray(p) != 0
                         : c.asItIs ? p != c.picture.pixel(x - c.placed.x(), y - c.placed.y())
                                    : std::abs(qGray(p) - 64) > 4;
            }
        EXPECT_EQ(wrong, 0);
    }

    // Zoomed, only the part zoomed to: four quadrants of four colours, and
    // 2x at a corner shows that corner's alone.
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    QImage picture(400, 300, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        QPainter(&picture).fillRect(i % 2 * 200, i / 2 * 150, 200, 150, colours[i]);
    view.resize(400, 300);
    view.setPicture(picture);
    for (int i = 0; i < 4; ++i) {
        view.resetZoom();
        view.zoomAt(2.0, QPointF(i % 2 * 399, i / 2 * 299));  // the quadrant's corner
        const QImage painted = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (QPoint p : {QPoint(5, 5), QPoint(394, 294), QPoint(200, 150)})
            EXPECT_EQ(painted.pixel(p), colours[i]) << i << ": " << p.x() << "," << p.y();
    }
}
