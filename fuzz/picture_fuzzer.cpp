// The decoder of fetched pictures, given arbitrary bytes as a server's
// answer. Whenever it gives a picture, the picture stays within Qt's image
// allocation limit; decoding the same bytes again gives the same picture;
// and that second decode, which reuses the thread's buffers, leaves the
// first picture (still held, as a view holds the shown one) untouched.

#include "picturedecoder.h"

#include <QImageReader>

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
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QImage first = PictureDecoder::decode(bytes);
    if (first.isNull()) return 0;
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit > 0 && first.sizeInBytes() > limit) fail("a picture beyond the allocation limit");
    const QImage firstCopy = first.copy();
    const QImage second = PictureDecoder::decode(bytes);
    if (second != firstCopy) fail("the same bytes gave another picture");
    if (first != firstCopy) fail("a held picture was overwritten by the next decode");
    return 0;
}
