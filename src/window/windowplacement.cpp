// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace WindowPlacement {

QRect placed(const QRectF& stored) {
    QRect r = stored.toAlignedRect();
    if (r.width() <= 0 || r.height() <= 0) r.setSize(kDefaultSize);
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(r);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (best) {
        const QRect avail = best->availableGeometry();
        r.setSize(r.size().boundedTo(avail.size()));
        r.moveLeft(std::clamp(r.left(), avail.left(), avail.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), avail.top(), avail.bottom() - r.height() + 1));
    }
    return r;
}

QRect centred() {
    QRect r(QPoint(0, 0), kDefaultSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        r.setSize(r.size().boundedTo(avail.size()));
        r.moveCenter(avail.center());
    }
    return r;
}

}  // namespace WindowPlacement
