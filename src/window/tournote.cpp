// SPDX-License-Identifier: GPL-3.0-or-later
#include "tournote.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

TourNote::TourNote(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void TourNote::set(const QString& text, double opacity) {
    raise();  // over the wall in front, which a step's switch may change
    if (text == text_ && opacity == opacity_ && isVisible()) return;
    text_ = text;
    opacity_ = opacity;
    place();
    show();
    update();
}

void TourNote::place() {
    const QWidget* screen = parentWidget();
    QFont f = font();
    f.setPixelSize(std::clamp(screen->height() / 30, 11, 18));
    setFont(f);
    const QFontMetrics metrics(f);
    const int pad = 8;
    const QRect text =
        metrics.boundingRect(QRect(0, 0, std::max(0, screen->width() - 6 * pad), 1000),
                             Qt::AlignCenter | Qt::TextWordWrap, text_);
    const QSize size(std::min(screen->width(), text.width() + 2 * pad),
                     std::min(screen->height(), text.height() + pad));
    setGeometry(QRect(QPoint((screen->width() - size.width()) / 2, pad), size));
}

void TourNote::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(opacity_);
    p.fillRect(rect(), QColor(0, 0, 0, 190));
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text_);
}
