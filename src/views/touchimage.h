#pragma once

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "cameraimageview.h"
#include "picturefreshness.h"

// The main window's view of the shown camera: paints the last picture set on
// it, scaled to fit with its aspect ratio kept, or nothing without one. A
// failed picture keeps the last good one on screen, dimmed under a warning
// once it is a few refresh intervals old; showing another camera clears it. Its
// size in whole points is the picture size that the camera asks for, so the
// server does the scaling and a resized window gets pictures of its new size.
class TouchImage : public QWidget, public CameraImageView {
    Q_OBJECT

public:
    explicit TouchImage(QWidget* parent = nullptr);

    // CameraImageView
    void setPicture(const QImage& image) override;
    QSizeF boundsSize() const override;
    void setDelegate(CameraView* record) override;

    CameraView* delegate() const { return delegate_; }
    const QImage& picture() const { return picture_; }
    // Empties the view and ends the warning until a camera is shown again;
    // setPicture() with no image does not, it keeps the last good picture.
    void clearPicture();

    // The controller's cameras menu, for the view's own camera controls.
    void setCamerasMenu(QMenu* menu) { camerasMenu_ = menu; }
    QMenu* camerasMenu() const { return camerasMenu_; }

    QSize sizeHint() const override { return {640, 480}; }

    // How old the picture is: the stale-picture warning and the live figures.
    PictureFreshness& freshness() { return *freshness_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawPicture(QPainter& p);

    QImage picture_;
    CameraView* delegate_ = nullptr;  // not owned, never called
    QPointer<QMenu> camerasMenu_;     // not owned
    PictureFreshness* freshness_;     // child
    // The shown camera by identity: its server and picture path, kept by
    // value because the record may be gone by the time another is shown.
    const void* shownServer_ = nullptr;
    QString shownImageUri_;
};
