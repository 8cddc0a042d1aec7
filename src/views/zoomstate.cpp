// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoomstate.h"

#include <algorithm>
#include <cmath>

void ZoomState::zoomAt(double factor, QPointF at) {
    factor = std::clamp(std::isfinite(factor) ? factor : 1.0, 1.0, kMaxFactor);
    at = {std::clamp(at.x(), 0.0, 1.0), std::clamp(at.y(), 0.0, 1.0)};
    // The picture point under the cursor, and where in the shown part it is.
    const QPointF point(visible_.x() + at.x() * visible_.width(),
                        visible_.y() + at.y() * visible_.height());
    const double side = 1.0 / factor;
    factor_ = factor;
    visible_ = QRectF(point.x() - at.x() * side, point.y() - at.y() * side, side, side);
    clampInside();
}

void ZoomState::pan(QPointF byFraction) {
    if (!std::isfinite(byFraction.x()) || !std::isfinite(byFraction.y())) return;
    visible_.translate(byFraction.x() * visible_.width(), byFraction.y() * visible_.height());
    clampInside();
}

void ZoomState::reset() {
    factor_ = 1.0;
    visible_ = QRectF(0, 0, 1, 1);
}

void ZoomState::clampInside() {
    visible_.moveLeft(std::clamp(visible_.left(), 0.0, 1.0 - visible_.width()));
    visible_.moveTop(std::clamp(visible_.top(), 0.0, 1.0 - visible_.height()));
}

QSize ZoomState::askedSize(QSize viewPixels) const {
    if (viewPixels.isEmpty()) return viewPixels;
    const QSizeF wanted = QSizeF(viewPixels) * factor_;
    const double longest = std::max(wanted.width(), wanted.height());
    const double shrink = longest > kMaxAskedSide ? kMaxAskedSide / longest : 1.0;
    return QSize(std::max(1, static_cast<int>(wanted.width() * shrink)),
                 std::max(1, static_cast<int>(wanted.height() * shrink)));
}
