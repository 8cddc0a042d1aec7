#pragma once

#include <QByteArray>
#include <QImage>

// Turns the bytes of a fetched picture into an image, or a null image when
// they are not a picture this viewer can show.
namespace PictureDecoder {

// JPEG, the servers' usual answer, is decoded by libjpeg straight into a
// 32-bit image (no intermediate 24-bit rows to convert), into one of two
// buffers that the calling thread keeps, so that a stream of pictures of one
// size reuses their memory. Any other format, and JPEG in CMYK, goes through
// Qt's image readers. A picture larger than Qt's image allocation limit, a
// JPEG that fails to decode, or one with more than kMaxScans scans (a
// progressive picture built to take unbounded time) gives a null image.
QImage decode(const QByteArray& bytes);

inline constexpr int kMaxScans = 500;

}  // namespace PictureDecoder
