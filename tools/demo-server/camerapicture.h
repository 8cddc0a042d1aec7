// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The demo cameras' live pictures: parsing of the picture request's query
// values, and the drawing and JPEG encoding of one frame.
//
// Drawing uses QPainter on a QImage, which is safe on any thread, but text
// needs a QGuiApplication to exist (an offscreen one is enough).

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QTime>

#include <cstdint>
#include <optional>
#include <string_view>

#include "democatalog.h"
#include "scenes.h"

namespace demo {

inline constexpr QSize kDefaultPictureSize{640, 480};
inline constexpr int kMaxPictureSide = 4096;
inline constexpr int kDefaultQuality = 60;

// "WxH" (two decimal integers joined by a lower- or upper-case x) with each
// side clamped to 1..kMaxPictureSide. Anything else, a missing value
// included, gives kDefaultPictureSize.
QSize parseResolution(std::optional<std::string_view> text);

// Decimal JPEG quality clamped to 0..100; missing or not a whole number
// gives kDefaultQuality.
int parseQuality(std::optional<std::string_view> text);

// What one frame shows besides the camera's pattern.
struct FrameStamp {
    std::uint64_t frame = 0;  // the camera's frame counter
    QTime time;               // the clock shown on the picture
    // Video frames: the send time as machine-readable blocks (timestamp.h).
    std::optional<std::int64_t> sentMs;
};

// How much brighter every channel is while a camera's light is on.
inline constexpr int kLightGain = 60;

// Where the scripted object is in a picture of `size` at `crossing`
// (SceneState::crossing): about 12 % of the width and 25 % of the height,
// halfway down, between the captions and away from the time stamp row.
QRect sceneObjectRect(QSize size, double crossing);

// Draws one frame of `camera` at `size`, with the scripted object and light
// of `scene` (scenes.h); a null image when it cannot be allocated.
QImage drawCameraImage(const DemoCamera& camera, QSize size, const FrameStamp& stamp,
                       const SceneState& scene = {});

// Draws one frame of `camera` at `size` and returns it as JPEG bytes encoded
// at `quality` (0..100). Empty when the image cannot be allocated or the
// JPEG encoder is missing.
QByteArray drawCameraPicture(const DemoCamera& camera, QSize size, int quality,
                             const FrameStamp& stamp, const SceneState& scene = {});

}  // namespace demo
