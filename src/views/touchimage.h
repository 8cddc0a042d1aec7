#pragma once

#include <QImage>
#include <QMenu>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "cameraimageview.h"
#include "gesturetracker.h"
#include "picturefreshness.h"

class QAction;
class QPainter;

// The main window's view of the shown camera, and the viewer's pointer,
// keyboard and touch-pad controls over it.
//
// It paints the last picture set on it, scaled to fit with its aspect ratio
// kept, or nothing without one. A failed picture keeps the last good one on
// screen, dimmed under a warning once it is a few refresh intervals old;
// showing another camera clears it. Its size in device pixels is the picture
// size that the camera asks for, so a resized window or full screen gets
// pictures of the new size from the next picture on.
//
// Controls: a right-button press opens the cameras menu as a context menu; a
// click whose click count is above 1 toggles full screen (so a triple click
// toggles twice); a horizontal two-finger movement or swipe, and the Left
// and Right keys, step backward or forward through the cameras menu as a
// ring; F and F11 toggle full screen and Escape leaves it. A camera step
// emits cameraChosen() with the chosen item; the view never changes the
// camera itself. Main thread only.
class TouchImage : public QWidget, public CameraImageView {
    Q_OBJECT

public:
    explicit TouchImage(QWidget* parent = nullptr);
    ~TouchImage() override;

    // CameraImageView
    void setPicture(const QImage& image) override;
    QSizeF boundsSize() const override;
    qreal pixelRatio() const override { return devicePixelRatioF(); }
    void setDelegate(CameraView* record) override;

    // The camera record shown here, while it exists.
    std::shared_ptr<CameraView> delegate() const { return delegate_.lock(); }
    const QImage& picture() const { return picture_; }
    // Empties the view and ends the warning until a camera is shown again;
    // setPicture() with no image does not, it keeps the last good picture.
    void clearPicture();

    // The controller's cameras menu (not owned): the context menu and the
    // ring that the camera step walks. None until the first camera list.
    void setCamerasMenu(QMenu* menu) { camerasMenu_ = menu; }
    QMenu* camerasMenu() const { return camerasMenu_; }

    // The menu to open for a mouse event: the cameras menu for a right-button
    // press when it has items, none otherwise.
    QMenu* menuForEvent(const QMouseEvent& event) const;

    // Emits cameraChosen() with the item after (forward) or before the last
    // checked item of the cameras menu, wrapping around at both ends; with no
    // item checked it counts from the first. Nothing without items.
    void cameraStep(bool forward);

    // Full screen: the window the view is in shows the picture alone, on the
    // screen it is on, without its menu bar.
    bool inFullScreen() const { return inFullScreen_; }
    void setFullScreen(bool on);
    void toggleFullScreen() { setFullScreen(!inFullScreen_); }
    // The window's frame when full screen began: the one to keep for the
    // next start while the window is full screen.
    QRect frameBeforeFullScreen() const { return frameBeforeFullScreen_; }

    // The click count that the last left-button press made: presses within
    // the platform's double-click time and distance of the previous one count
    // up, any other press starts again at 1.
    int clickCount() const { return clickCount_; }

    QSize sizeHint() const override { return {640, 480}; }

    // How old the picture is: the stale-picture warning and the live figures.
    PictureFreshness& freshness() { return *freshness_; }

signals:
    // A camera step chose this item of the cameras menu.
    void cameraChosen(QAction* item);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void leftPress(const QMouseEvent& event);
    void apply(GestureTracker::Step step);
    void watchWindow();
    void showMenuBar(bool show);
    void fillScreenIfIgnored();
    void drawPicture(QPainter& p);

    QImage picture_;
    // picture_ scaled to fit the view, in device pixels, when it does not
    // fit as it is; made at the first paint after either changes.
    QImage fitted_;
    std::weak_ptr<CameraView> delegate_;  // not owned, never called
    QPointer<QMenu> camerasMenu_;         // not owned
    bool inFullScreen_ = false;
    // How long the window manager has to act on a full-screen request.
    static constexpr int kFullScreenFallbackMs = 500;
    QRect frameBeforeFullScreen_;
    bool filledScreenItself_ = false;
    GestureTracker gestures_;

    // Click counting and moving the window by the picture.
    int clickCount_ = 0;
    std::uint64_t lastClickMs_ = 0;
    QPointF lastClickPos_;
    bool mayMoveWindow_ = false;
    QPointer<QWidget> watchedWindow_;

    PictureFreshness* freshness_;  // child
    // The shown camera by identity: its server and picture path, kept by
    // value because the record may be gone by the time another is shown.
    const void* shownServer_ = nullptr;
    QString shownImageUri_;
};
