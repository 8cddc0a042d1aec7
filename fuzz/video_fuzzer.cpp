// SPDX-License-Identifier: GPL-3.0-or-later
// The live video path (demux, decode, crop, scale) given arbitrary bytes as
// a camera's stream. The input's first four bytes are how the view asks for
// frames: its width and height (1 to 256 each) and, unless both are 0, the
// top left corner of a crop of half the picture's width and height (in
// 1/512ths of the picture); the rest is the stream. Every frame handed out
// fits the asked size, is a 32-bit image, and the same bytes give the same
// frames again.

#include "videodecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "video property broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    video::Target target;
    target.size = QSize(1 + data[0], 1 + data[1]);
    if (data[2] || data[3]) target.crop = QRectF(data[2] / 512.0, data[3] / 512.0, 0.5, 0.5);
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 4,
                           static_cast<qsizetype>(size - 4));
    const video::DecodedBytes first = video::decodeBytes(bytes, target, 16);
    for (const video::VideoFrame& frame : first.frames) {
        if (frame.image.width() > target.size.width() ||
            frame.image.height() > target.size.height())
            fail("a frame larger than asked");
        if (frame.image.format() != QImage::Format_RGB32) fail("a frame not in 32-bit RGB");
        if (!video::sizeAllowed(frame.sourceSize.width(), frame.sourceSize.height()))
            fail("a frame from a picture beyond the size bounds");
    }
    const video::DecodedBytes second = video::decodeBytes(bytes, target, 16);
    if (second.status != first.status) fail("the same bytes ended otherwise");
    if (second.frames.size() != first.frames.size()) fail("the same bytes gave other frames");
    for (std::size_t i = 0; i < first.frames.size(); ++i) {
        if (second.frames[i].image != first.frames[i].image)
            fail("the same bytes gave another frame");
        if (second.frames[i].jpeg != first.frames[i].jpeg)
            fail("the same bytes kept other JPEG bytes");
    }
    return 0;
}
