// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRectF>

// Where the main window goes at start-up: a stored frame kept whole on the
// screen that shows most of it (the primary one when none does), shrunk to
// fit it; without a stored frame, the default size in the middle of the
// primary screen. A frame stored for a larger or unplugged monitor would
// otherwise leave the picture partly or wholly out of sight.
namespace WindowPlacement {

inline constexpr QSize kDefaultSize{507, 363};

QRect placed(const QRectF& stored);
QRect centred();

}  // namespace WindowPlacement
