#pragma once

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>

#include "cameraimageview.h"

// The main window's view of the shown camera: paints the last picture set on
// it, scaled to fit with its aspect ratio kept, or nothing without one. Its
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

    // The camera record shown here, while it exists.
    std::shared_ptr<CameraView> delegate() const { return delegate_.lock(); }
    const QImage& picture() const { return picture_; }

    // The controller's cameras menu, for the view's own camera controls.
    void setCamerasMenu(QMenu* menu) { camerasMenu_ = menu; }
    QMenu* camerasMenu() const { return camerasMenu_; }

    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    std::weak_ptr<CameraView> delegate_;  // not owned, never called
    QPointer<QMenu> camerasMenu_;         // not owned
};
