// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>

namespace video {

// One decoded picture of a live video, scaled for the view.
struct VideoFrame {
    QImage image;  // Format_RGB32, at most the asked size
    // How Save Picture keeps this frame: the JPEG as the camera sent it
    // (MJPEG streams: the frame's own bytes, in `jpeg`), or a lossless PNG
    // of the decoded picture made by the caller (H.264, H.265: there is no
    // picture file in the stream to keep).
    enum class Saved { AsSentJpeg, AsDecodedPng } saved = Saved::AsDecodedPng;
    QByteArray jpeg;
    // AsDecodedPng: the decoded picture at the stream's own size (not cropped
    // or scaled for the view), made when called, on any thread.
    std::function<QImage()> full;
    QSize sourceSize;          // the stream's own picture size
    QRectF crop;               // the part of it the image shows (empty: all)
    std::uint64_t number = 0;  // 1 for the first frame handed over, and on
};

// Why a video stopped playing: everything but Stopped means "show the
// camera's still pictures instead".
enum class VideoStatus {
    Playing,
    Stopped,           // stop() was called: nothing to report
    RefusedAddress,    // the video path could send the credentials elsewhere
    ConnectionFailed,  // no connection, or it broke before any frame
    NotVideo,          // the answer is not a stream (an HTML page, a 401, a redirect)
    CodecUnavailable,  // a stream of a kind this viewer cannot decode
    RefusedSize,       // pictures larger than kMaxSide or kMaxPixels, or a frame
                       // of more than kMaxFrameBytes
    Stalled,           // no frame for kStallMs
    Ended,             // the server ended the stream
};

// Words for the log and the status line.
QString statusText(VideoStatus status);

// The largest picture a stream may have.
inline constexpr int kMaxSide = 8192;
inline constexpr std::int64_t kMaxPixels = 40'000'000;
inline bool sizeAllowed(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           std::int64_t(width) * height <= kMaxPixels;
}

// The most bytes one frame may take before it is decoded: what a part of a
// multipart stream may announce, and what the demuxer may be handed between
// two frames. The same as the most a still picture's answer may have (a 4K
// JPEG at the highest quality stays well under it): a server that announces
// gigabytes, or sends a frame that never ends, must not make the viewer hold
// them.
inline constexpr std::int64_t kMaxFrameBytes = std::int64_t(32) << 20;

// Without a frame for this long a stream counts as stalled.
inline constexpr int kStallMs = 3000;

// How the view wants its frames: fitted into `size` (device pixels, aspect
// kept; empty: the stream's own size, within the bounds above), after
// cropping to `crop` (fractions of the source picture; the whole picture
// when empty or invalid), as the view's zoom shows it.
struct Target {
    QSize size;
    QRectF crop;
    bool operator==(const Target&) const = default;
};

}  // namespace video
