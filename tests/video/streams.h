// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Live streams as cameras send them, made with the demo server's encoders:
// frames of the demo's first camera, each stamped with its send time.

#include <QByteArray>

#include <string>

// By its path: the model layer has a header of the same name.
#include "../../tools/demo-server/camerapicture.h"
#include "democatalog.h"
#include "videofeed.h"

inline QImage demoFrame(QSize size, std::int64_t sentMs, std::uint64_t number = 1) {
    return demo::drawCameraImage(demo::demoCameras()[0], size, {number, QTime(12, 0), sentMs});
}

inline QByteArray demoJpeg(QSize size, std::int64_t sentMs) {
    return demo::drawCameraPicture(demo::demoCameras()[0], size, 90, {1, QTime(12, 0), sentMs});
}

inline QByteArray multipartOf(const QByteArray& jpeg, int frames) {
    std::string bytes;
    for (int i = 0; i < frames; ++i) bytes += demo::multipartPart(jpeg);
    return QByteArray::fromStdString(bytes);
}

inline QByteArray transportStream(demo::TsVideoEncoder::Codec codec, QSize size, int frames,
                                  std::int64_t sentMs) {
    demo::TsVideoEncoder encoder(size, 25, codec);
    std::string bytes;
    for (int i = 0; i < frames; ++i) bytes += encoder.encode(demoFrame(size, sentMs, i + 1));
    return QByteArray::fromStdString(bytes + encoder.finish());
}

// The JPEG with its frame header claiming another size.
inline QByteArray claimingSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}
