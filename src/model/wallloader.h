// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include <QImage>
#include <QSize>
#include <QString>

#include "camerapicture.h"

// The part of a server's multi-camera fetcher that a page of live cameras
// calls. Kept as an interface so that the model does not depend on the
// protocol layer. Every call is made on the main thread.
class WallLoader {
public:
    virtual ~WallLoader() = default;
    // Asks for one picture of the camera at index, at pixelSize (device
    // pixels), from imageUri on the loader's server. done runs on the main
    // thread with the picture and its bytes, or a null image for a failed one, unless
    // cancel(index) or the loader's destruction came first: then it never
    // runs. The caller keeps at most one request per camera outstanding.
    virtual void requestPicture(std::int64_t index, const QString& imageUri, QSize pixelSize,
                                std::function<void(const CameraPicture&)> done) = 0;
    // Drops the outstanding request of the camera at index, if any: its
    // answer is thrown away and its done never runs.
    virtual void cancel(std::int64_t index) = 0;
};
