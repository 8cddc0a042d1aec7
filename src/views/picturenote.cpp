// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturenote.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include <algorithm>

namespace {
// The fade's steps: smooth enough, and no repaint at all while the note stands.
constexpr int kFadeStepMs = 50;
}  // namespace

PictureNote::PictureNote(std::function<void()> repaint) : repaint_(std::move(repaint)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void PictureNote::show(const QString& text) {
    text_ = text;
    clock_.start();
    timer_.start(kShownMs);
    repaint_();
}

void PictureNote::tick() {
    if (text_.isEmpty()) return;
    if (clock_.elapsed() >= kShownMs + kFadeMs) {
        text_.clear();
    } else {
        timer_.start(kFadeStepMs);
    }
    repaint_();
}

double PictureNote::opacity() const {
    const qint64 fading = clock_.isValid() ? clock_.elapsed() - kShownMs : 0;
    return fading <= 0 ? 1.0 : std::max(0.0, 1.0 - double(fading) / kFadeMs);
}

void PictureNote::paint(QPainter& painter, const QRect& area) const {
    if (text_.isEmpty() || area.width() < 24) return;
    painter.save();
    painter.setOpacity(opacity());
    QFont font = painter.font();
    font.setPixelSize(std::clamp(area.height() / 20, 11, 16));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int pad = 6;
    // A long folder is cut in its middle: the file's own name stays readable.
    const QString shown =
        metrics.elidedText(text_, Qt::ElideMiddle, std::max(0, area.width() - 4 * pad));
    QRect box(0, 0, metrics.horizontalAdvance(shown) + 2 * pad, metrics.height() + pad);
    box.moveCenter(QPoint(area.center().x(), area.top() + pad + box.height() / 2));
    painter.fillRect(box, QColor(0, 0, 0, 190));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, shown);
    painter.restore();
}
