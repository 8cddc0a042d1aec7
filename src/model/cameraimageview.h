// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QImage>
#include <QSize>
#include <QSizeF>

#include "camerapicture.h"

class CameraView;

// What a camera record needs from the view that shows its pictures. The main
// window's image view implements it; tests implement it too. Called on the
// main thread only.
//
// A view shows one camera record at a time: giving it to a record takes it
// from the record it showed before, and a view that goes away first is taken
// from its record, so no record ever points at a dead or borrowed view.
class CameraImageView {
public:
    CameraImageView() = default;
    CameraImageView(const CameraImageView&) = delete;
    CameraImageView& operator=(const CameraImageView&) = delete;
    virtual ~CameraImageView();
    // Shows the image in place of the previous one. A null image is a failed
    // picture: the view shows none, or keeps the last one and marks it as old.
    virtual void setPicture(const QImage& image) = 0;
    // The same with the bytes the image was decoded from and when they
    // arrived; a view that can save its picture keeps them.
    virtual void setCameraPicture(const CameraPicture& picture) { setPicture(picture.image); }
    // The view's size in points.
    virtual QSizeF boundsSize() const = 0;
    // Device pixels per point of the screen the view is on. Pictures are
    // asked for at boundsSize() times this, so that they are sharp on a
    // high-density screen.
    virtual qreal pixelRatio() const { return 1.0; }
    // The size to ask a picture for: boundsSize() in device pixels, each
    // side truncated toward zero.
    QSize pixelSize() const;
    // The size to ask a picture for: pixelSize() unless the view shows a
    // part of the picture enlarged and wants more of its detail.
    virtual QSize askedPixels() const { return pixelSize(); }
    // The camera record now shown in this view. The view keeps the reference
    // without owning or calling it.
    virtual void setDelegate(CameraView* record) = 0;

private:
    friend class CameraView;
    std::weak_ptr<CameraView> shown_;  // the record whose pictures come here
};
