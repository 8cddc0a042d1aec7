// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QRectF>

#include <functional>
#include <memory>

// One picture of a camera as it came from the server: the decoded image for
// the screen, and the bytes it was decoded from, kept so that the picture
// can be saved exactly as it was sent. The bytes are implicitly shared with
// the answer they came in: carrying them costs no copy.
struct CameraPicture {
    // An image alone is a picture whose bytes are unknown: it can be shown
    // but not saved. A null image is a failed picture.
    CameraPicture(QImage image = QImage(), QByteArray bytes = QByteArray(),
                  QDateTime arrived = QDateTime())
        : image(std::move(image)), bytes(std::move(bytes)), arrived(std::move(arrived)) {}

    QImage image;
    QByteArray bytes;  // as received; empty when unknown
    // Whatever the bytes hold of a budget shared with other pictures (the
    // walls' answer bytes), given back when the last copy goes: a view that
    // keeps the bytes keeps this too.
    std::shared_ptr<const void> hold;
    // The part of the camera's whole picture that image shows, in fractions:
    // the whole, unless a video frame was cropped to the view's zoom before
    // it was scaled.
    QRectF part{0, 0, 1, 1};
    // A picture that came without bytes of its own (a frame decoded from a
    // video stream) is saved as a lossless PNG of what this gives: the
    // decoded picture at its own size, made when called (on any thread).
    std::function<QImage()> lossless;
    // When the bytes arrived, in UTC: a clock read on the worker, with no
    // time zone lookup off the main thread.
    QDateTime arrived;
};
