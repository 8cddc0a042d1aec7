// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>

class QImage;
class QPainter;

// Copies an opaque picture into the image a raster painter draws on (a
// window's backing store) with stores that bypass the cache, where
// QPainter::drawImage() copies through it.
//
// A camera wall paints each cell's new picture into a backing store of
// several megabytes that the other cells' pictures have pushed out of the
// cache since that cell's last picture; an ordinary copy first reads every
// line it writes. Streaming stores write without reading: a 320x240 cell's
// paint took about 80 us instead of 105 us, a 640x480 one about 240 us
// instead of 360 us (the wall benchmark's main thread per picture).
namespace OpaqueBlit {

// Draws image with its top left corner at topLeft (the painter's logical
// coordinates) as drawImage(topLeft, image) would, and returns true; or
// does nothing and returns false when it cannot: image is not RGB32, the
// painter does not draw on a 32-bit RGB image, or anything but a
// whole-pixel translation, full opacity and the default composition
// applies (a scale, a rotation, a clip of the painter's own, a high-density
// device). The paint event's region (the engine's system clip) is kept.
// The caller then draws it the usual way.
bool draw(QPainter& painter, QPoint topLeft, const QImage& image);

}  // namespace OpaqueBlit
