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

void TouchImage::setPastMark(const QString& mark) {
    if (!past_.on || past_.mark == mark) return;
    past_.mark = mark;
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
    // A blue frame, a colour no live cell carries (activity is magenta, the
    // selection amber), and the moment shown in its top left corner: the
    // marks of a picture that is not live.
    const QColor marked(90, 180, 255);
    const int w = std::clamp(std::min(width(), height()) / 80, 2, 4);
    const QRect r = rect();
    p.fillRect(QRect(r.left(), r.top(), r.width(), w), marked);
    p.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), marked);
    p.fillRect(QRect(r.left(), r.top(), w, r.height()), marked);
    p.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), marked);
    QFont font = p.font();
    font.setPixelSize(std::clamp(height() / 12, 11, 20));
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int pad = 4;
    const QString text = metrics.elidedText(QStringLiteral("◀◀ ") + past_.mark, Qt::ElideRight,
                                            std::max(0, width() - 2 * w - 4 * pad));
    const QRect box(w, w, metrics.horizontalAdvance(text) + 2 * pad, metrics.height() + pad);
    p.fillRect(box, QColor(0, 0, 0, 200));
    p.setPen(marked);
    p.drawText(box, Qt::AlignCenter, text);
}
