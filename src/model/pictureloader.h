// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QString>

// The part of the data manager that a server record's picture refresh calls.
// Kept as an interface so that the model does not depend on the protocol layer.
class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // Cancels every job not yet started and queues a picture job for the
    // camera at index. Called on the main thread.
    virtual void loadCameraIndex(std::int64_t index, const QString& uri,
                                 const QString& resolution) = 0;
};
