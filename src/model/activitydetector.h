// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRectF>

#include <cstddef>
#include <cstdint>
#include <vector>

// Whether something moves in one camera's pictures: the caller hands every
// picture of the camera, already decoded (the view's QImage, or the luma
// plane of a video frame), and gets a verdict back at once. Pure: no
// threads, no widgets, no clock; one detector per camera cell, used by one
// thread at a time.
//
// Method, per picture:
//  1. Shrink: box-average the picture to a grey picture at most 96 pixels
//     wide and 96 high, aspect kept (640x360 gives 96x54). Grey is
//     (R + 2G + B) / 4, or the luma plane as it is. Every source pixel is read
//     once; 32-bit QImage formats and Grayscale8 are read in place, any other
//     format is converted to RGB32 first. Pictures narrower or lower than 4
//     grey pixels, larger than 65536 on a side, or null get no verdict and
//     leave the detector as it was.
//  2. Background: a running average of the grey pictures. A new size (another
//     camera, zoom, resolution) or a restart takes the picture as the whole
//     background and gives no verdict. While the background is new its rate is
//     1/(n+1) for the n-th picture, so it is a plain average, until it falls to
//     kRate = 0.05 (about 20 pictures). Pixels found differing are learnt at a
//     tenth of the rate, so an object stays visible for a while but one that
//     parks becomes background.
//  3. Brightness: the background is first scaled by the median ratio
//     picture/background (pixels of the background darker than 16 do not
//     vote) and then shifted by the median difference, so an exposure drift or
//     a slow dusk never leaves a lag behind.
//  4. Noise: the spread of the remaining differences, 1.4826 times their
//     median absolute value (a robust standard deviation); a pixel differs
//     where its difference exceeds noiseMultiple times that, and at least
//     floorLevels (grey levels of 255).
//  5. Speckle: a 2x2 opening (a pixel stays if it lies in some 2x2 square of
//     differing pixels) drops single pixels and one-pixel lines.
//  6. Level: the largest 4-connected blob's area as a fraction of the whole
//     grey picture. The picture has an object when the level reaches
//     minArea; it is active when this picture and the one before both had an
//     object, so one glitch is never activity.
//  7. Global change: when more than half of the counted pixels differ by more
//     than the previous picture's pixel threshold before step 3 (a light
//     switched on or off, a day/night switch, an exposure jump), the picture
//     becomes the background, learnt again from the start, and it reports
//     globalChange and never active.
//
// Sensitivity      noiseMultiple  floorLevels  minArea (of the picture)
//   Low                 5             10          1.0 %
//   Normal              4              8          0.5 %
//   High                3              6          0.25 %
// Off does no work at all: no pixel is read and no memory is kept.
//
// A clock drawn in the picture (text like "07:47:21.920", about 12 % by 2 %
// of the picture, redrawn every picture) is about one grey row high, so the
// 2x2 opening removes its changing digits: measured level 0 at every
// sensitivity, and Normal ignores it on purpose. A larger caption needs an
// ignore zone.
//
// Ignore zones are rectangles in the picture's own unit coordinates (0..1);
// a grey pixel that overlaps one at all is never counted, nor used for the
// noise, brightness or global-change figures.
//
// The figures of steps 3, 4 and 7 come from every second grey pixel both ways
// (all of them below 2048 pixels). Cost: bench/activity.
class ActivityDetector {
public:
    enum class Sensitivity { Off, Low, Normal, High };

    struct Verdict {
        bool judged = false;        // false: no verdict (off, unusable or first picture)
        bool active = false;        // an object in this picture and the one before
        bool globalChange = false;  // taken as a change of the whole picture
        float level = 0;            // the largest blob's area, a fraction of the picture
        float threshold = 0;        // the area the level is compared with
        float pixelThreshold = 0;   // the grey difference a pixel had to exceed
    };

    static constexpr int kMaxSide = 96;
    static constexpr float kRate = 0.05f;

    explicit ActivityDetector(Sensitivity sensitivity = Sensitivity::Normal);

    // Off forgets the background; another sensitivity keeps it.
    void setSensitivity(Sensitivity sensitivity);
    Sensitivity sensitivity() const { return sensitivity_; }
    void setIgnoreZones(std::vector<QRectF> zones);
    // The next picture starts a new background.
    void restart();

    Verdict feed(const QImage& picture);
    // An 8-bit luma plane of width x height, stride bytes from one row to the
    // next (at least width).
    Verdict feedLuma(const std::uint8_t* plane, int width, int height, std::ptrdiff_t stride);

    // Source pixels read so far: the detector's cost, for the viewer's figures.
    std::uint64_t pixelsRead() const { return pixelsRead_; }

private:
    struct Source;
    bool shrink(const Source& source);
    void resize(int width, int height);
    void updateIgnored();
    Verdict judge();
    int largestBlob();

    Sensitivity sensitivity_;
    std::vector<QRectF> zones_;
    bool zonesDirty_ = true;
    std::uint64_t pixelsRead_ = 0;

    int sourceWidth_ = 0, sourceHeight_ = 0;  // of the background's pictures; 0: none
    int width_ = 0, height_ = 0;              // of the grey picture
    std::vector<int> columnEnds_;             // source column where each grey column ends
    std::vector<float> columnScales_;         // 1 / its width
    std::vector<std::uint32_t> columnSums_;   // one band of source rows, per source column
    std::vector<float> grey_, background_, difference_;
    std::vector<std::uint8_t> ignored_, differs_, eroded_, opened_;
    std::vector<std::uint16_t> samples_;  // the pixels the picture's figures come from
    std::vector<std::uint16_t> stack_;
    std::vector<std::uint16_t> histogram_;
    int counted_ = 0;   // grey pixels outside the ignore zones
    int pictures_ = 0;  // pictures in the background
    float lastPixelThreshold_ = 0;
    bool hadObject_ = false;
};
