// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>

#include "pictureloader.h"
#include "touchimage.h"

// Stands between a server's picture refresh and the data manager to tell the
// image view when each picture is asked for, so that the view can show the
// round-trip time. Forwards every call unchanged. Main thread only.
class TimedPictureLoader : public PictureLoader {
public:
    TimedPictureLoader(PictureLoader* loader, TouchImage* view) : loader_(loader), view_(view) {}

    void loadCameraIndex(std::int64_t index, const QString& uri,
                         const QString& resolution) override {
        if (view_) view_->freshness().requestSent();
        loader_->loadCameraIndex(index, uri, resolution);
    }

private:
    PictureLoader* loader_;  // not owned
    QPointer<TouchImage> view_;
};
