// Zoom in the whole viewer (offscreen) against a scripted server on
// loopback: the size each picture is asked for and decoded at, the drag
// that pans, and the return to the whole picture with another camera. The
// zoom's own arithmetic is ZoomState's.

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "viewerfixture.h"

namespace {

class Zoom : public ViewerFixture {
protected:
    // Sizes the picture view and waits until the layout has given it that size.
    bool resizeView(QSize size) {
        app->mainImage()->setFixedSize(size);
        return waitUntil([&] { return app->mainImage()->size() == size; });
    }
    // Waits for a picture request, after the first `after` ones, for camera
    // path at resolution.
    static bool waitForRequest(const ScriptedServer& s, size_t after, const std::string& path,
                               const std::string& resolution) {
        return waitUntil([&] {
            const auto r = s.requests();
            for (size_t i = after; i < r.size(); ++i)
                if (r[i].target == path + "?resolution=" + resolution + "&quality=60") return true;
            return false;
        });
    }
    void drag(QPointF from, QPointF to) {
        TouchImage* view = app->mainImage();
        const QPointF origin = view->mapToGlobal(QPointF(0, 0));
        clockMs += 10000;  // presses far apart: never a double click
        for (auto [type, at, buttons] : {std::tuple{QEvent::MouseButtonPress, from, Qt::LeftButton},
                                         {QEvent::MouseMove, to, Qt::LeftButton},
                                         {QEvent::MouseButtonRelease, to, Qt::NoButton}}) {
            QMouseEvent e(type, at, origin + at,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
            e.setTimestamp(clockMs);
            QApplication::sendEvent(view, &e);
        }
    }
    quint64 clockMs = 0;
};

}  // namespace

TEST_F(Zoom, PicturesAreAskedAndDecodedAtTheZoomedSizeWithinTheCap) {
    ScriptedServer s(videoServer());
    writeSettings(dir.path(), s.port(), 0);
    start();
    struct Case {
        QSize view;
        int plusKeys;  // two make 2x, six 8x
        const char* asked;
        QSize decoded;
    } cases[] = {
        {{400, 300}, 0, "400x300", {400, 300}},     {{400, 300}, 2, "800x600", {800, 600}},
        {{400, 300}, 6, "3200x2400", {3200, 2400}}, {{640, 480}, 6, "4096x3072", {4096, 3072}},
        {{640, 480}, 9, "4096x3072", {4096, 3072}},  // never beyond 8x
    };
    TouchImage* view = app->mainImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        ASSERT_TRUE(resizeView(c.view));
        QTest::keyClick(view, Qt::Key_0);
        for (int i = 0; i < c.plusKeys; ++i) QTest::keyClick(view, Qt::Key_Plus);
        ASSERT_TRUE(waitForRequest(s, s.requests().size(), "/c/0/image", c.asked));
        // The decoder keeps the detail asked for instead of fitting it to the view.
        EXPECT_TRUE(waitUntil([&] { return view->picture().size() == c.decoded; }))
            << view->picture().width() << "x" << view->picture().height();
    }
}

TEST_F(Zoom, DragPansAndAnotherCameraShowsTheWholePicture) {
    ScriptedServer s(videoServer());
    writeSettings(dir.path(), s.port(), 0);
    start();
    ASSERT_TRUE(waitForPicture());
    TouchImage* view = app->mainImage();
    ASSERT_TRUE(resizeView({400, 300}));
    ASSERT_TRUE(waitUntil([&] { return view->picture().size() == QSize(400, 300); }));

    // Two wheel notches with Ctrl at the top left corner: 2x there.
    QWheelEvent wheel(QPointF(0, 0), view->mapToGlobal(QPointF(0, 0)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_EQ(view->zoom().factor(), 2.0);
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 0.5, 0.5));

    struct Drag {
        QPointF from, to;
        QPointF shownTopLeft;
    } drags[] = {
        {{300, 200}, {100, 50}, {0.25, 0.25}},  // half the view left and up: a quarter on
        {{0, 0}, {-4000, -4000}, {0.5, 0.5}},   // far beyond: at the right and bottom edges
        {{0, 0}, {4000, 0}, {0.0, 0.5}},
    };
    for (const Drag& d : drags) {
        drag(d.from, d.to);
        EXPECT_EQ(view->zoom().visible().topLeft(), d.shownTopLeft);
        EXPECT_EQ(view->zoom().factor(), 2.0);
    }

    const size_t before = s.requests().size();
    QTest::keyClick(view, Qt::Key_Right);  // the next camera
    EXPECT_EQ(view->zoom().factor(), 1.0);
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 1, 1));
    EXPECT_TRUE(waitForRequest(s, before, "/c/1/image", "400x300"));

    // A pinch spreading the fingers to twice their distance: 2x, and no camera step.
    QPointingDevice pad("pad", 4245, QInputDevice::DeviceType::TouchPad,
                        QPointingDevice::PointerType::Finger, QInputDevice::Capability::Position, 2,
                        0);
    for (auto [type, value] : {std::pair{Qt::BeginNativeGesture, 0.0},
                               {Qt::ZoomNativeGesture, 1.0},
                               {Qt::EndNativeGesture, 0.0}}) {
        QNativeGestureEvent e(type, &pad, 2, {200, 150}, {200, 150},
                              view->mapToGlobal(QPointF(200, 150)), value, {});
        QApplication::sendEvent(view, &e);
    }
    EXPECT_EQ(view->zoom().factor(), 2.0);
    EXPECT_EQ(settings->cameraIdx(), 1);
}
