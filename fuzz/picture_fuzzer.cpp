// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder of fetched pictures, given arbitrary bytes as a server's
// answer and the size the view asks for: the input's first four bytes are
// the asked width and height (16 bits each, big-endian; 0 for a view
// without a size), the rest is the answer. Whenever it gives a picture, the
// picture stays within Qt's image allocation limit and, for a view with a
// size, within 64 times the asked pixel count or, beyond that, within what
// 1/8 of the largest real camera's picture has; decoding the same bytes again
// gives the same picture; and that second decode, which reuses the thread's
// buffers, leaves the first picture (still held, as a view holds the shown
// one) untouched.

#include "picturedecoder.h"

#include <QImageReader>

#include <algorithm>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "picture property broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const QSize asked((data[0] << 8) | data[1], (data[2] << 8) | data[3]);
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 4,
                           static_cast<qsizetype>(size - 4));
    const QImage first = PictureDecoder::decode(bytes, asked);
    if (first.isNull()) return 0;
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit > 0 && first.sizeInBytes() > limit) fail("a picture beyond the allocation limit");
    if (!asked.isEmpty() &&
        qint64(first.width()) * first.height() >
            std::max(PictureDecoder::kMaxPixelsPerAskedPixel * asked.width() * asked.height(),
                     PictureDecoder::kMaxPixelsAtSmallestScale))
        fail("a picture beyond 64 times the asked size and beyond any camera's 1/8");
    const QImage firstCopy = first.copy();
    const QImage second = PictureDecoder::decode(bytes, asked);
    if (second != firstCopy) fail("the same bytes gave another picture");
    if (first != firstCopy) fail("a held picture was overwritten by the next decode");
    return 0;
}
