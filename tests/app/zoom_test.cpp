// Zoom in the whole viewer: the wheel that reaches the view's zoom, the
// size pictures are then asked for and decoded at, and the whole picture
// again with another camera. The zoom's own arithmetic is ZoomState's.

#include <QWheelEvent>

#include "viewerkit.h"

TEST_F(ViewerFixture, TheWheelReachesTheZoomAndAnotherCameraShowsTheWholePicture) {
    ScriptedServer server(camerasServer());
    writeServers(dir.path(), {{"Local", server.port(), true}});
    start();
    TouchImage* view = app->mainImage();
    view->setFixedSize(400, 300);
    ASSERT_TRUE(waitUntil([&] { return view->picture().size() == QSize(400, 300); }));
    // Two wheel notches with Ctrl at the top left corner: 2x there.
    QWheelEvent wheel({0, 0}, view->mapToGlobal(QPointF(0, 0)), {}, {0, 240}, Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 0.5, 0.5));
    ASSERT_TRUE(waitUntil([&] { return countOf(server, "/c/0/image?resolution=800x600&") > 0; }));
    // The decoder keeps the detail asked for instead of fitting it to the view.
    EXPECT_TRUE(waitUntil([&] { return view->picture().size() == QSize(800, 600); }));
    QTest::keyClick(view, Qt::Key_Right);  // the next camera
    EXPECT_EQ(view->zoom().visible(), QRectF(0, 0, 1, 1));
    EXPECT_TRUE(waitUntil([&] { return countOf(server, "/c/1/image?resolution=400x300&") > 0; }));
}
