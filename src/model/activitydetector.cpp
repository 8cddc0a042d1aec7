// SPDX-License-Identifier: GPL-3.0-or-later
#include "activitydetector.h"

#include <algorithm>
#include <cmath>

namespace {

struct Parameters {
    float noiseMultiple;
    float floorLevels;
    float minArea;
};
// Indexed by Sensitivity; Off's row is never used.
constexpr Parameters kParameters[] = {{0, 0, 0}, {5, 10, 0.01f}, {4, 8, 0.005f}, {3, 6, 0.0025f}};

constexpr int kMinSide = 4;               // grey pixels: less gives no verdict
constexpr int kMaxSourceSide = 65536;     // keeps the sums of a band within 32 bits
constexpr float kForegroundShare = 0.1f;  // of the rate, where a pixel differs
constexpr float kMinVoter = 16;           // darkest background that votes for the gain
// Gain histogram: bins of 1/1024 from kMinGain; gains beyond count in the end bins.
constexpr float kRatioScale = 1024, kMinGain = 0.5f;
constexpr int kRatioBins = 1024;
// Difference histograms: bins of a quarter level up to 64 levels, larger ones
// in the end bins (they never move a median a global change has not caught).
constexpr float kLevelScale = 4;
constexpr int kLevelBins = 256;
constexpr int kSignedZero = kLevelBins;
constexpr float kMadToSigma = 1.4826f;
// The grey picture's buffers hold whole groups of this many pixels, so that
// loops over them vectorise at -O2; pixels past the picture are never read.
constexpr int kGroup = 8;

// The grey picture's size for a source of width x height: at most kMaxSide on
// each side, aspect kept, never wider or higher than the source.
QSize greySize(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSourceSide || height > kMaxSourceSide) return {};
    const int side = ActivityDetector::kMaxSide;
    int w = std::min(side, width);
    int h = std::max(1, int(std::lround(double(height) * w / width)));
    if (h > side) {
        h = side;
        w = std::max(1, int(std::lround(double(width) * side / height)));
    }
    return {std::min(w, width), std::min(h, height)};
}

// Written in fixed groups of eight so that the compiler vectorises them at -O2.
void addRgbRow(const std::uint32_t* __restrict row, std::uint32_t* __restrict sums, int width) {
    const auto grey = [](std::uint32_t q) {
        return (q & 0xFF) + ((q >> 7) & 0x1FE) + ((q >> 16) & 0xFF);  // B + 2G + R
    };
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        std::uint32_t v[8];
        for (int k = 0; k < 8; ++k) v[k] = grey(row[x + k]);
        for (int k = 0; k < 8; ++k) sums[x + k] += v[k];
    }
    for (; x < width; ++x) sums[x] += grey(row[x]);
}

void addLumaRow(const std::uint8_t* __restrict row, std::uint32_t* __restrict sums, int width) {
    int x = 0;
    for (; x + 16 <= width; x += 16)
        for (int k = 0; k < 16; ++k) sums[x + k] += row[x + k];
    for (; x < width; ++x) sums[x] += row[x];
}

// Histograms count into four interleaved tables, so that runs of equal values
// (a still scene) do not wait on one counter; the median adds them up.
void clearHistogram(std::vector<std::uint16_t>& histogram, int bins) {
    histogram.assign(4 * std::size_t(bins), 0);
}
void count(std::vector<std::uint16_t>& histogram, std::size_t i, int bin) {
    ++histogram[(i & 3) * (histogram.size() / 4) + bin];
}

// The differences left after the brightness correction, and which of them
// exceed the threshold; padded is a whole number of groups.
void subtract(const float* __restrict grey, const float* __restrict background,
              float* __restrict difference, std::uint8_t* __restrict differs, int padded,
              float gain, float offset, float threshold) {
    for (int i = 0; i < padded; i += kGroup)
        for (int k = i; k < i + kGroup; ++k) {
            difference[k] = grey[k] - background[k] * gain - offset;
            differs[k] = std::abs(difference[k]) > threshold;
        }
}

// The corrected background moved towards the picture by the rate (1 - keep):
// the picture less what is kept of the difference.
void learn(const float* __restrict grey, const float* __restrict difference,
           float* __restrict background, int padded, float threshold, float keep,
           float keepDiffering) {
    for (int i = 0; i < padded; i += kGroup)
        for (int k = i; k < i + kGroup; ++k)
            background[k] =
                grey[k] -
                difference[k] * (std::abs(difference[k]) > threshold ? keepDiffering : keep);
}

// The 2x2 opening of a w x h mask: the pixels of every 2x2 square of set
// pixels (the erosion, by each square's top left pixel, then the dilation).
void open2x2(const std::uint8_t* __restrict mask, std::uint8_t* __restrict eroded,
             std::uint8_t* __restrict opened, int w, int h) {
    for (int y = 0; y + 1 < h; ++y) {
        const std::uint8_t* m = mask + y * w;
        std::uint8_t* e = eroded + y * w;
        for (int x = 0; x + 1 < w; ++x) e[x] = m[x] & m[x + 1] & m[x + w] & m[x + w + 1];
        e[w - 1] = 0;
    }
    std::fill(eroded + (h - 1) * w, eroded + h * w, 0);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* e = eroded + y * w;
        const std::uint8_t* up = y ? e - w : e;  // the row above, or this one again
        std::uint8_t* o = opened + y * w;
        o[0] = e[0] | up[0];
        for (int x = 1; x < w; ++x) o[x] = e[x] | e[x - 1] | up[x] | up[x - 1];
    }
}

int medianBin(const std::vector<std::uint16_t>& histogram, int total) {
    const std::size_t bins = histogram.size() / 4;
    const std::uint16_t* h = histogram.data();
    int seen = 0;
    for (std::size_t k = 0; k < bins; ++k)
        if (2 * (seen += h[k] + h[k + bins] + h[k + 2 * bins] + h[k + 3 * bins]) > total)
            return int(k);
    return int(bins) - 1;
}

}  // namespace

struct ActivityDetector::Source {
    const std::uint8_t* bits;
    std::ptrdiff_t stride;
    int width, height;
    bool rgb;  // 32-bit pixels, else 8-bit luma
};

ActivityDetector::ActivityDetector(Sensitivity sensitivity) : sensitivity_(sensitivity) {}

void ActivityDetector::setSensitivity(Sensitivity sensitivity) {
    if (sensitivity == Sensitivity::Off && sensitivity_ != Sensitivity::Off) {
        std::vector<QRectF> zones = std::move(zones_);
        *this = ActivityDetector(Sensitivity::Off);  // frees every buffer
        zones_ = std::move(zones);
        return;
    }
    sensitivity_ = sensitivity;
}

void ActivityDetector::setIgnoreZones(std::vector<QRectF> zones) {
    zones_ = std::move(zones);
    for (QRectF& zone : zones_) zone = zone.normalized();
    zonesDirty_ = true;
}

void ActivityDetector::restart() {
    pictures_ = 0;
}

ActivityDetector::Verdict ActivityDetector::feed(const QImage& picture) {
    if (sensitivity_ == Sensitivity::Off || greySize(picture.width(), picture.height()).isEmpty())
        return {};
    QImage converted;
    const QImage* image = &picture;
    bool rgb = true;
    switch (picture.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            break;
        case QImage::Format_Grayscale8:
            rgb = false;
            break;
        default:
            converted = picture.convertToFormat(QImage::Format_RGB32);
            if (converted.isNull()) return {};
            image = &converted;
    }
    if (!shrink({image->constBits(), image->bytesPerLine(), image->width(), image->height(), rgb}))
        return {};
    return judge();
}

ActivityDetector::Verdict ActivityDetector::feedLuma(const std::uint8_t* plane, int width,
                                                     int height, std::ptrdiff_t stride) {
    if (sensitivity_ == Sensitivity::Off || !plane || stride < width) return {};
    if (!shrink({plane, stride, width, height, false})) return {};
    return judge();
}

void ActivityDetector::resize(int width, int height) {
    const QSize grey = greySize(width, height);
    sourceWidth_ = width, sourceHeight_ = height;
    width_ = grey.width(), height_ = grey.height();
    const std::size_t n = std::size_t(width_) * height_;
    const std::size_t padded = (n + kGroup - 1) / kGroup * kGroup;
    columnEnds_.resize(width_);
    columnScales_.resize(width_);
    for (int i = 0; i < width_; ++i) {
        columnEnds_[i] = int(std::int64_t(i + 1) * width / width_);
        columnScales_[i] = 1 / float(columnEnds_[i] - (i ? columnEnds_[i - 1] : 0));
    }
    columnSums_.assign(width, 0);
    for (auto* v : {&grey_, &background_, &difference_}) v->assign(padded, 0);
    for (auto* v : {&ignored_, &differs_, &eroded_, &opened_}) v->assign(padded, 0);
    stack_.reserve(n);
    zonesDirty_ = true;
    pictures_ = 0;
}

bool ActivityDetector::shrink(const Source& source) {
    if (greySize(source.width, source.height).width() < kMinSide ||
        greySize(source.width, source.height).height() < kMinSide)
        return false;
    if (source.width != sourceWidth_ || source.height != sourceHeight_)
        resize(source.width, source.height);
    const float unit = source.rgb ? 4 : 1;  // B + 2G + R sums four times a level
    for (int j = 0; j < height_; ++j) {
        const int y0 = int(std::int64_t(j) * source.height / height_);
        const int y1 = int(std::int64_t(j + 1) * source.height / height_);
        std::fill(columnSums_.begin(), columnSums_.end(), 0);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = source.bits + y * source.stride;
            if (source.rgb)
                addRgbRow(reinterpret_cast<const std::uint32_t*>(row), columnSums_.data(),
                          source.width);
            else
                addLumaRow(row, columnSums_.data(), source.width);
        }
        const float rowScale = 1 / (float(y1 - y0) * unit);
        float* out = grey_.data() + std::size_t(j) * width_;
        for (int i = 0, x = 0; i < width_; ++i) {
            std::int64_t sum = 0;
            for (; x < columnEnds_[i]; ++x) sum += columnSums_[x];
            out[i] = float(sum) * columnScales_[i] * rowScale;
        }
    }
    pixelsRead_ += std::uint64_t(source.width) * source.height;
    return true;
}

void ActivityDetector::updateIgnored() {
    zonesDirty_ = false;
    counted_ = 0;
    for (int j = 0, k = 0; j < height_; ++j) {
        const double top = double(j * sourceHeight_ / height_) / sourceHeight_;
        const double bottom = double((j + 1) * sourceHeight_ / height_) / sourceHeight_;
        for (int i = 0; i < width_; ++i, ++k) {
            const double left = double(i ? columnEnds_[i - 1] : 0) / sourceWidth_;
            const double right = double(columnEnds_[i]) / sourceWidth_;
            ignored_[k] = std::any_of(zones_.begin(), zones_.end(), [&](const QRectF& z) {
                return left < z.right() && right > z.left() && top < z.bottom() && bottom > z.top();
            });
            counted_ += !ignored_[k];
        }
    }
    // The figures of the whole picture come from a lattice of every second
    // pixel both ways (every pixel in a small picture), outside the zones.
    const int step = width_ * height_ >= 2048 ? 2 : 1;
    samples_.clear();
    for (int j = 0; j < height_; j += step)
        for (int i = 0; i < width_; i += step)
            if (!ignored_[j * width_ + i]) samples_.push_back(std::uint16_t(j * width_ + i));
    if (samples_.empty())
        for (int k = 0; k < width_ * height_; ++k)
            if (!ignored_[k]) samples_.push_back(std::uint16_t(k));
}

ActivityDetector::Verdict ActivityDetector::judge() {
    if (zonesDirty_) updateIgnored();
    const Parameters& p = kParameters[int(sensitivity_)];
    if (pictures_ == 0 || samples_.empty()) {
        background_ = grey_;
        pictures_ = 1;
        hadObject_ = false;
        lastPixelThreshold_ = p.floorLevels;
        return {};
    }
    const float* g = grey_.data();
    float* b = background_.data();
    const int sampled = int(samples_.size());

    // Samples beyond the last threshold before any brightness correction, and
    // the gain: the median ratio of picture to background.
    int beyond = 0, voters = 0;
    clearHistogram(histogram_, kRatioBins);
    for (int s = 0; s < sampled; ++s) {
        const int i = samples_[s];
        beyond += std::abs(g[i] - b[i]) > lastPixelThreshold_;
        if (b[i] >= kMinVoter) {
            count(histogram_, s,
                  std::clamp(int((g[i] / b[i] - kMinGain) * kRatioScale), 0, kRatioBins - 1));
            ++voters;
        }
    }
    const float gain =
        voters * 4 >= sampled ? kMinGain + (medianBin(histogram_, voters) + 0.5f) / kRatioScale : 1;

    // The offset left after the gain: the median difference (rounded to a bin
    // by adding half a bin and truncating a number kept positive).
    clearHistogram(histogram_, 2 * kSignedZero + 1);
    for (int s = 0; s < sampled; ++s) {
        const int i = samples_[s];
        const float bin = (g[i] - b[i] * gain) * kLevelScale + float(kSignedZero) + 0.5f;
        count(histogram_, s, int(std::clamp(bin, 0.0f, float(2 * kSignedZero))));
    }
    const float offset = float(medianBin(histogram_, sampled) - kSignedZero) / kLevelScale;

    // The noise: the median absolute difference from that offset.
    clearHistogram(histogram_, kLevelBins);
    for (int s = 0; s < sampled; ++s) {
        const int i = samples_[s];
        const float bin = std::abs(g[i] - b[i] * gain - offset) * kLevelScale;
        count(histogram_, s, int(std::min(bin, float(kLevelBins - 1))));
    }
    const float mad = (medianBin(histogram_, sampled) + 0.5f) / kLevelScale;
    const float threshold = std::max(p.floorLevels, p.noiseMultiple * kMadToSigma * mad);
    lastPixelThreshold_ = threshold;

    Verdict v{true, false, false, 0, p.minArea, threshold};
    if (2 * beyond > sampled) {
        background_ = grey_;
        pictures_ = 1;
        hadObject_ = false;
        v.globalChange = true;
        return v;
    }

    const int n = width_ * height_;
    float* d = difference_.data();
    std::uint8_t* differs = differs_.data();
    const int padded = int(difference_.size());
    subtract(g, b, d, differs, padded, gain, offset, threshold);
    if (counted_ < n)
        for (int i = 0; i < n; ++i) differs[i] &= std::uint8_t(1 - ignored_[i]);
    v.level = float(largestBlob()) / float(n);

    const float rate = std::max(kRate, 1.0f / float(pictures_ + 1));
    learn(g, d, b, padded, threshold, 1 - rate, 1 - rate * kForegroundShare);
    pictures_ = std::min(pictures_ + 1, 1 << 20);

    const bool object = v.level >= p.minArea;
    v.active = object && hadObject_;
    hadObject_ = object;
    return v;
}

int ActivityDetector::largestBlob() {
    const int w = width_, h = height_, n = w * h;
    std::uint8_t* o = opened_.data();
    open2x2(differs_.data(), eroded_.data(), o, w, h);

    int largest = 0;
    for (int start = 0; start < n; ++start) {
        if (o[start] != 1) continue;
        int area = 0;
        o[start] = 2;
        stack_.assign(1, std::uint16_t(start));
        while (!stack_.empty()) {
            const int k = stack_.back(), x = k % w;
            stack_.pop_back();
            ++area;
            const auto visit = [&](int next) {
                if (o[next] == 1) o[next] = 2, stack_.push_back(std::uint16_t(next));
            };
            if (x > 0) visit(k - 1);
            if (x < w - 1) visit(k + 1);
            if (k >= w) visit(k - w);
            if (k + w < n) visit(k + w);
        }
        largest = std::max(largest, area);
    }
    return largest;
}
