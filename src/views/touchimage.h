// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
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
#include "picturenote.h"
#include "zoomstate.h"

class QAction;
class QKeyEvent;
class QNativeGestureEvent;
class QPainter;
class QWheelEvent;

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
// It keeps the last good picture's bytes as the server sent them and when
// they arrived, so that what is on screen can be saved as it came.
//
// Zoom: Ctrl+wheel and a pinch zoom at the pointer, the + and - keys (= too,
// and the keypad's) at the centre, from 1x to 8x; 0 returns to 1x, and so
// does showing another camera. While zoomed it paints only the part zoomed
// to, a left-button drag pans instead of moving the window, and pictures are
// asked for at the zoomed size (ZoomState::askedSize), so that a camera with
// the detail shows it.
//
// Controls: a right-button press opens the cameras menu as a context menu
// (with the picture's own items under it, when there are any); a
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
    void setCameraPicture(const CameraPicture& picture) override;
    QSizeF boundsSize() const override;
    QSize askedPixels() const override;
    qreal pixelRatio() const override { return devicePixelRatioF(); }
    void setDelegate(CameraView* record) override;

    // The camera record shown here, while it exists.
    std::shared_ptr<CameraView> delegate() const { return delegate_.lock(); }
    const QImage& picture() const { return picture_; }
    // The shown picture's bytes as the server sent them, and when they
    // arrived (UTC); empty when the picture came without them. A failed
    // picture keeps the last good one's, as it keeps it on screen.
    const QByteArray& pictureBytes() const { return pictureBytes_; }
    const QDateTime& pictureArrived() const { return pictureArrived_; }
    // Save Picture: what the view shows, the past picture while it shows one.
    bool hasSavablePicture() const {
        if (past_.on) return !past_.image.isNull() && (!past_.bytes.isEmpty() || past_.lossless);
        return !picture_.isNull() && (!pictureBytes_.isEmpty() || pictureLossless_);
    }
    const QByteArray& savedBytes() const { return past_.on ? past_.bytes : pictureBytes_; }
    QDateTime savedArrived() const { return past_.on ? past_.arrived : pictureArrived_; }
    // The shown picture has no bytes as sent (a video frame): it is saved as
    // a lossless PNG of what this gives (CameraPicture::lossless); empty
    // otherwise.
    std::function<QImage()> losslessPicture() const {
        if (past_.on) return past_.bytes.isEmpty() ? past_.lossless : nullptr;
        return pictureBytes_.isEmpty() ? pictureLossless_ : nullptr;
    }

    // Going back in time (touchimage_past.cpp): while a past picture is
    // set, the view shows it in its live picture's place, under a mark that
    // says which moment it is (mark), so that nobody takes it for live; the
    // stale warning and the live figures rest. The live pictures go on
    // arriving underneath: picture(), pictureBytes() and pictureShown() stay
    // theirs. A null image shows "Nothing kept". bytes: as sent (a still),
    // or lossless gives the decoded picture (a video frame).
    void showPast(const QImage& image, const QString& mark, const QByteArray& bytes = {},
                  const QDateTime& arrived = {}, std::function<QImage()> lossless = nullptr);
    // The past picture stays, under another mark.
    void setPastMark(const QString& mark);
    // Back to live.
    void endPast();
    bool showsPast() const { return past_.on; }
    const QString& pastMark() const { return past_.mark; }
    static QString nothingKeptText();
    // Empties the view and ends the warning until a camera is shown again;
    // setPicture() with no image does not, it keeps the last good picture.
    void clearPicture();

    // The controller's cameras menu (not owned): the context menu and the
    // ring that the camera step walks. None until the first camera list.
    void setCamerasMenu(QMenu* menu) { camerasMenu_ = menu; }
    QMenu* camerasMenu() const { return camerasMenu_; }
    // The window's Save Picture item (not owned): the context menu then
    // offers it under the cameras, for this view's own picture (enabled
    // while there is one to save), and choosing it there emits
    // saveRequested().
    void setSaveAction(QAction* save) { saveAction_ = save; }

    // The menu to open for a mouse event: for a right-button press, the
    // cameras menu when it has items, or with a save item a menu of the
    // cameras menu's items and the save item; none otherwise.
    QMenu* menuForEvent(const QMouseEvent& event);

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

    // A short note over the picture that fades after a few seconds.
    void showNote(const QString& text) { note_.show(text); }
    const QString& noteText() const { return note_.text(); }

    const ZoomState& zoom() const { return zoom_; }
    // Zooms to factor about a point of the view (in its own coordinates).
    void zoomAt(double factor, QPointF viewPoint);
    void resetZoom();

    // What the picture is of ("Gate — Shop"), over its lower left corner;
    // empty for none.
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }
    // Something moves in the picture: a thick frame of its own colour
    // inside the view's edges (unlike the selection's amber ring) and a
    // mark before the caption, so that colour is not the only sign.
    void setActivityMark(bool on);
    bool hasActivityMark() const { return activityMark_; }
    static QString activityMarkText();
    // Zooms for a zoom key (+ or = in, - out, the keypad's too, at the
    // centre; 0 back to 1x) and says whether the key was one of them.
    bool zoomKey(const QKeyEvent& event);

    // How old the picture is: the stale-picture warning and the live figures.
    PictureFreshness& freshness() { return *freshness_; }

signals:
    // A camera step chose this item of the cameras menu.
    void cameraChosen(QAction* item);
    // hasSavablePicture() changed.
    void savableChanged(bool savable);
    // A real picture (not a failed one) was put on the view.
    void pictureShown();
    // Save Picture was chosen from this view's context menu.
    void saveRequested();
    // inFullScreen() changed: the viewer's own toggle, or the window
    // manager's report.
    void fullScreenChanged(bool on);

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

    // Zooms for Ctrl+wheel at the pointer; false for any other wheel event.
    bool zoomEvent(QWheelEvent& event);
    // Zooms for a pinch at the pointer; other gestures are left alone.
    void zoomGesture(const QNativeGestureEvent& event);
    // Moves the part zoomed to with the pointer (a distance in points).
    void panBy(QPointF viewDistance);

private:
    void leftPress(const QMouseEvent& event);
    void apply(GestureTracker::Step step);
    void watchWindow();
    void showMenuBar(bool show);
    void fillScreenIfIgnored();
    // Where the picture (or its part zoomed to) goes, in device pixels.
    struct Placement {
        qreal ratio = 1.0;
        QSize device;    // the view
        QRect source;    // the part of the picture shown
        QSize target;    // its size on screen
        QPoint topLeft;  // of the target in the view
    };
    Placement placement() const;
    void drawPicture(QPainter& p);
    void showPicture(const CameraPicture& picture);
    void forgetPicture();
    // Where the picture is drawn in the view, in points; the whole view
    // without one.
    QRectF pictureArea() const;
    QMenu* contextMenu();

    void paintPast(QPainter& p);

    struct Past {
        bool on = false;
        QImage image;
        QString mark;
        QByteArray bytes;
        QDateTime arrived;
        std::function<QImage()> lossless;
    } past_;

    QImage picture_;
    // picture_ scaled to fit the view, in device pixels, when it does not
    // fit as it is; made at the first paint after either changes.
    QImage fitted_;
    QRectF fittedPart_;  // the part of picture_ that fitted_ shows, in fractions
    QByteArray pictureBytes_;
    std::shared_ptr<const void> pictureHold_;  // kept with the bytes (CameraPicture::hold)
    QRectF picturePart_{0, 0, 1, 1};           // of the camera's picture (CameraPicture::part)
    std::function<QImage()> pictureLossless_;
    QDateTime pictureArrived_;
    ZoomState zoom_;
    QString caption_;
    bool activityMark_ = false;
    QPointF lastDragPos_;           // where the last pan step left the pointer (global)
    QPointer<QAction> saveAction_;  // not owned
    QMenu* contextMenu_ = nullptr;  // child, made on first use
    PictureNote note_;
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
