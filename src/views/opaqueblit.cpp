// SPDX-License-Identifier: GPL-3.0-or-later
#include "opaqueblit.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// One row: cache-bypassing 16-byte stores where the destination is aligned
// to them, ordinary copies for the ends.
void streamRow(uchar* to, const uchar* from, size_t bytes) {
    size_t head = (16 - (reinterpret_cast<uintptr_t>(to) & 15)) & 15;
    if (head > bytes) head = bytes;
    std::memcpy(to, from, head);
    size_t i = head;
    for (; i + 16 <= bytes; i += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    }
    std::memcpy(to + i, from + i, bytes - i);
}
#endif

bool isOpaqueTarget(QImage::Format format) {
    // An RGB32 pixel (alpha 0xff) has the same bytes in each of these.
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

namespace OpaqueBlit {

bool draw(QPainter& painter, QPoint topLeft, const QImage& image) {
#if defined(__SSE2__)
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || image.isNull() ||
        image.format() != QImage::Format_RGB32)
        return false;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return false;
    auto* target = static_cast<QImage*>(device);
    if (!isOpaqueTarget(target->format()) || target->devicePixelRatio() != 1.0) return false;
    if (painter.hasClipping() || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != qRound(transform.dx()) ||
        transform.dy() != qRound(transform.dy()))
        return false;

    const QPoint at = topLeft + QPoint(qRound(transform.dx()), qRound(transform.dy()));
    QRegion area = QRegion(QRect(at, image.size())).intersected(target->rect());
    if (const QRegion system = engine->systemClip(); !system.isEmpty())
        area = area.intersected(system);
    // The target's own memory, as the painter writes it: bits() could
    // detach a shared image and leave the painter's copy unchanged.
    auto* bits = const_cast<uchar*>(target->constBits());
    const qsizetype targetLine = target->bytesPerLine();
    for (const QRect& r : area) {
        const auto bytes = static_cast<size_t>(r.width()) * 4;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            streamRow(bits + y * targetLine + qsizetype(r.left()) * 4,
                      image.constScanLine(y - at.y()) + qsizetype(r.left() - at.x()) * 4, bytes);
        }
    }
    // The stores are seen by anything that reads the target next (the
    // window system's copy of the backing store).
    _mm_sfence();
    return true;
#else
    Q_UNUSED(painter);
    Q_UNUSED(topLeft);
    Q_UNUSED(image);
    return false;
#endif
}

}  // namespace OpaqueBlit
