// Zoom in the whole viewer: the wheel and drag that reach the view's
// zoom, the size pictures are then asked for and decoded at, and the whole
// picture again with another camera. The zoom's own arithmetic is ZoomState's.

#include <QWheelEvent>

#include "viewerkit.h"

namespace {

class Zoom : public ViewerFixture {
protected:
    void SetUp() override {
        writeServers(dir.path(), {{"Local", server.port(), true}});
        start();
        app->mainImage()->setFixedSize(400, 300);
        ASSERT_TRUE(waitUntil([&] { return app->mainImage()->size() == QSize(400, 300); }));
        ASSERT_TRUE(
            waitUntil([&] { return app->mainImage()->picture().size() == QSize(400, 300); }));
    }
    // Waits for a picture request after the first `after` ones.
    bool waitForRequest(size_t after, const std::string& target) {
        return waitUntil([&] {
            const auto r = server.requests();
            for (size_t i = after; i < r.size(); ++i)
                if (r[i].target == target + "&quality=60") return true;
            return false;
        });
    }
    ScriptedServer server{camerasServer()};
};

}  // namespace

TEST_F(Zoom, WheelDragAndPinchReachTheZoomAndAnotherCameraShowsTheWholePicture) {
    TouchImage* view = app->mainImage();
    quint64 clockMs = 0;
    // Two wheel notches with Ctrl at the top left corner: 2x there.
    QWheelEvent wheel({0, 0}, view->mapToGlobal(QPointF(0, 0)), {}, {0, 240}, Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    const size_t zoomed = server.requests().size();
    QApplication::sendEvent(view, &wheel);
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 0.5, 0.5));
    ASSERT_TRUE(waitForRequest(zoomed, "/c/0/image?resolution=800x600"));
    // The decoder keeps the detail asked for instead of fitting it to the view.
    EXPECT_TRUE(waitUntil([&] { return view->picture().size() == QSize(800, 600); }));
    // Half the view left and up: a quarter on; far beyond: at the edges.
    const struct {
        QPointF from, to;
        QPointF shownTopLeft;
    } drags[] = {{{300, 200}, {100, 50}, {0.25, 0.25}}, {{0, 0}, {-4000, -4000}, {0.5, 0.5}}};
    for (const auto& d : drags) {
        clockMs += 10000;  // presses far apart: never a double click
        for (auto [type, at, buttons] :
             {std::tuple{QEvent::MouseButtonPress, d.from, Qt::LeftButton},
              {QEvent::MouseMove, d.to, Qt::LeftButton},
              {QEvent::MouseButtonRelease, d.to, Qt::NoButton}}) {
            QMouseEvent e(type, at, view->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
            e.setTimestamp(clockMs);
            QApplication::sendEvent(view, &e);
        }
        EXPECT_EQ(view->zoom().visible().topLeft(), d.shownTopLeft);
        EXPECT_EQ(view->zoom().factor(), 2.0);
    }
    const size_t before = server.requests().size();
    QTest::keyClick(view, Qt::Key_Right);  // the next camera
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 1, 1));
    EXPECT_TRUE(waitForRequest(before, "/c/1/image?resolution=400x300"));

    EXPECT_EQ(settings->cameraIdx(), 1);
}
