// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Turns the bytes of a fetched picture into an image, or a null image when
// they are not a picture this viewer can show.
namespace PictureDecoder {

// Decodes a picture that will be shown fitted into `asked` (in device
// pixels, aspect ratio kept), at no more pixels than that needs.
//
// A JPEG, the servers' usual answer, is decoded by libjpeg-turbo at the
// smallest of its own scales (1/1, 1/2, 1/4, 1/8) at which the picture,
// fitted into `asked`, is still not enlarged: a 1920x1080 picture asked for
// at 480x270 decodes at 1/4, to 480x270, and at 500x280 at 1/2. A picture
// smaller than asked decodes at full size. "Covers" is meant for a view
// that fits the picture inside itself: a picture of another aspect ratio
// than `asked` needs to cover only the fitted rectangle, not both of
// `asked`'s sides.
//
// It is decoded straight into a 32-bit image (no intermediate 24-bit rows
// to convert), into one of two buffers that the calling thread keeps, so
// that a stream of pictures of one size reuses their memory. Any other
// format, and JPEG in CMYK, goes through Qt's image readers, at the size
// that a JPEG of the same size would decode to.
//
// A null image comes back for a picture that even at 1/8 would have more
// than kMaxPixelsPerAskedPixel times the pixels of `asked` and more than
// kMaxPixelsAtSmallestScale (judged from its header, before any decoding:
// a few bytes that claim a huge picture cost nothing), for one beyond Qt's image allocation limit,
// for a JPEG that fails to decode, and for one with more than kMaxScans scans (a progressive
// picture built to take unbounded time). An empty `asked` (0x0, as a view without a size asks)
// means the full picture, bounded by the allocation limit alone.
QImage decode(const QByteArray& bytes, QSize asked);

inline constexpr int kMaxScans = 500;
inline constexpr qint64 kMaxPixelsPerAskedPixel = 64;
// What 1/8 of a 16384x16384 picture gives: every real camera's still fits.
inline constexpr qint64 kMaxPixelsAtSmallestScale = qint64(2048) * 2048;

}  // namespace PictureDecoder
