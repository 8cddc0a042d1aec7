// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A time stamp drawn into a video frame as a row of black and white blocks,
// so that a program watching the viewer's screen can read when the frame
// left the server and measure the delay to the screen.
//
// The row spans the picture's width from 1/8 of its height down, 1/32 of
// the height tall (at least 2 pixels): 50 blocks of equal width, a white one
// and a black one to find it, then 48 bits of the time, most significant
// first, white for 1. The time is the system clock (UTC milliseconds since
// 1970), which any process on the machine reads alike, so that the
// benchmark compares it with its own reading of the same clock.
//
// The blocks are read back from a picture of any size with the same aspect
// ratio (scaled, JPEG- or H.264-compressed), not from a zoomed one.

#include <QImage>

#include <cstdint>
#include <optional>

namespace demo {

inline constexpr int kStampBits = 48;

void drawTimeStamp(QImage& image, std::int64_t msSinceEpoch);
std::optional<std::int64_t> readTimeStamp(const QImage& image);

// The system clock now, as the stamp holds it.
std::int64_t stampClockMs();

}  // namespace demo
