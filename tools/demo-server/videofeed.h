// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The demo cameras' live video: a multipart JPEG stream (each frame a JPEG
// as the stills are), or an MPEG transport stream carrying H.264 encoded
// with libavcodec's libx264 at low-latency settings. The same encoder makes
// streams of other codecs for tests of what the viewer refuses.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>
#include <string>

namespace demo {

// The boundary between the parts of the multipart stream.
inline constexpr char kMultipartBoundary[] = "zorvanframe";
// "multipart/x-mixed-replace;boundary=..."
std::string multipartContentType();
// One part of the stream: the boundary, the part's head and the JPEG.
std::string multipartPart(const QByteArray& jpeg);

// Frames a second when the request does not ask (query "fps"), and the most.
inline constexpr int kDefaultFps = 25;
inline constexpr int kMaxFps = 60;
// The most frames between key frames a request may ask (query "gop").
inline constexpr int kMaxGop = 600;

// Encodes RGB32 frames of one size into an MPEG-TS byte stream. One object
// per stream; not thread-safe.
class TsVideoEncoder {
public:
    enum class Codec { H264, Mpeg2 };  // Mpeg2: a codec the viewer does not play
    // gop: frames from one key frame to the next (0 or less: fps, a key
    // frame a second).
    TsVideoEncoder(QSize size, int fps, Codec codec = Codec::H264, int gop = 0);
    ~TsVideoEncoder();
    TsVideoEncoder(const TsVideoEncoder&) = delete;
    TsVideoEncoder& operator=(const TsVideoEncoder&) = delete;

    // False when the encoder is missing or refused the settings.
    bool valid() const { return impl_ != nullptr; }
    // The stream bytes that this frame adds (the first call's include the
    // stream's tables). Every frame comes out at once: no frame is held
    // back for reordering.
    std::string encode(const QImage& frame);
    // The end of the stream: whatever the encoder still holds.
    std::string finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace demo
