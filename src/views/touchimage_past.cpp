// SPDX-License-Identifier: GPL-3.0-or-later
#include "touchimage.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

void TouchImage::showPast(const QImage& image, const QString& mark, const QByteArray& bytes,
                          const QDateTime& arrived, std::function<QImage()> lossless) {
    const bool wasSavable = hasSavablePicture();
    past_ = {true, image, mark, bytes, arrived, std::move(lossless)};
    if (hasSavablePicture() != wasSavable) emit savableChanged(!wasSavable);
    update();
}

void TouchImage::endPast() {
    if (!past_.on) return;
    const bool wasSavable = hasSavablePicture();
    past_ = Past{};
    if (hasSavablePicture() != wasSavable) emit savableChanged(!wasSavable);
    update();
}

QString TouchImage::nothingKeptText() {
    return QCoreApplication::translate("Zorvan", "Nothing kept");
}

void TouchImage::paintPast(QPainter& p) {
    p.fillRect(rect(), Qt::black);
    if (!past_.image.isNull()) {
        // Decoded for this view's size already: fitted, aspect kept, centred.
        const QSizeF shown = QSizeF(past_.image.size()).scaled(size(), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                            shown);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, past_.image);
    } else {
        QFont font = p.font();
        font.setPixelSize(std::clamp(height() / 10, 11, 22));
        p.setFont(font);
        p.setPen(QColor(200, 200, 200));
        p.drawText(rect(), Qt::AlignCenter, nothingKeptText());
    }
    if (past_.mark.isEmpty()) return;
    // A band across the top in a colour no live picture carries, with the
    // moment shown: the mark of a picture that is not live.
    QFont font = p.font();
    font.setPixelSize(std::clamp(height() / 12, 11, 20));
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int pad = 4;
    const QString text = metrics.elidedText(QStringLiteral("⏪ ") + past_.mark, Qt::ElideRight,
                                            std::max(0, width() - 4 * pad));
    const QRect band(0, 0, width(), metrics.height() + 2 * pad);
    p.fillRect(band, QColor(20, 20, 20, 190));
    p.fillRect(QRect(0, band.bottom() - 1, width(), 2), QColor(255, 176, 0));
    p.setPen(QColor(255, 196, 40));
    p.drawText(band.adjusted(2 * pad, 0, -2 * pad, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}
