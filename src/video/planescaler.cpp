// SPDX-License-Identifier: GPL-3.0-or-later
#include "planescaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZV_X86 1
#endif

namespace video {

namespace {

constexpr int kLargestSide = 8192;
constexpr int kPadding = 32;  // past a blended row: the last group's load reads into it

// One sample of either pass: a and b weighed (64 - w) and w, rounded.
inline std::uint8_t blend(int a, int b, int w) {
    return static_cast<std::uint8_t>((a * (64 - w) + b * w + 32) >> 6);
}
// A plane halved: an odd side's last sample is left out (QSize's own
// division rounds, which would count it).
inline QSize halfOf(QSize s) {
    return QSize(s.width() / 2, s.height() / 2);
}

inline std::uint8_t mean(int a, int b) {
    return static_cast<std::uint8_t>((a + b + 1) >> 1);
}

void blendRowPlain(const std::uint8_t* a, const std::uint8_t* b, int w, std::uint8_t* out, int from,
                   int width) {
    for (int x = from; x < width; ++x) out[x] = blend(a[x], b[x], w);
}

void halveRowPlain(const std::uint8_t* r0, const std::uint8_t* r1, std::uint8_t* out, int from,
                   int width) {
    for (int x = from; x < width; ++x)
        out[x] = mean(mean(r0[2 * x], r1[2 * x]), mean(r0[2 * x + 1], r1[2 * x + 1]));
}

#ifdef ZV_X86
bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// The samples of two rows, 16 at a time; returns where the plain path goes on.
__attribute__((target("ssse3"))) int blendRowSimd(const std::uint8_t* a, const std::uint8_t* b,
                                                  int w, std::uint8_t* out, int width) {
    const __m128i weights = _mm_set1_epi16(static_cast<short>((w << 8) | (64 - w)));
    const __m128i half = _mm_set1_epi16(32);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_maddubs_epi16(_mm_unpacklo_epi8(va, vb), weights), half), 6);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_maddubs_epi16(_mm_unpackhi_epi8(va, vb), weights), half), 6);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
    return x;
}

// Eight output samples a group: one load, one shuffle that pairs each
// output's two source samples, one multiply-add with their weights.
__attribute__((target("ssse3"))) void resampleRowSimd(const std::uint8_t* row, const int* starts,
                                                      const std::uint8_t* shuffles,
                                                      const std::uint8_t* weights, int groups,
                                                      std::uint8_t* out) {
    const __m128i half = _mm_set1_epi16(32);
    for (int g = 0; g < groups; ++g) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + starts[g]));
        const __m128i pairs = _mm_shuffle_epi8(
            s, _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffles + 16 * g)));
        const __m128i sum = _mm_maddubs_epi16(
            pairs, _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 16 * g)));
        const __m128i v = _mm_srli_epi16(_mm_add_epi16(sum, half), 6);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * g), _mm_packus_epi16(v, v));
    }
}

// 16 output samples from 32 of each row; returns where the plain path goes on.
__attribute__((target("ssse3"))) int halveRowSimd(const std::uint8_t* r0, const std::uint8_t* r1,
                                                  std::uint8_t* out, int width) {
    const __m128i low = _mm_set1_epi16(0x00ff);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const auto load = [](const std::uint8_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        const __m128i v0 = _mm_avg_epu8(load(r0 + 2 * x), load(r1 + 2 * x));
        const __m128i v1 = _mm_avg_epu8(load(r0 + 2 * x + 16), load(r1 + 2 * x + 16));
        const __m128i h0 = _mm_avg_epu16(_mm_and_si128(v0, low), _mm_srli_epi16(v0, 8));
        const __m128i h1 = _mm_avg_epu16(_mm_and_si128(v1, low), _mm_srli_epi16(v1, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(h0, h1));
    }
    return x;
}
#else
bool hasSsse3() {
    return false;
}
#endif

}  // namespace

bool PlaneScaler::vectorPath() {
    return hasSsse3();
}

PlaneScaler::Axis PlaneScaler::axis(int from, int to) {
    Axis a;
    a.first.resize(static_cast<size_t>(to));
    a.next.resize(static_cast<size_t>(to));
    const double step = double(from) / to;
    for (int i = 0; i < to; ++i) {
        const double s = std::clamp((i + 0.5) * step - 0.5, 0.0, double(from - 1));
        int first = std::min(static_cast<int>(s), from - 2);
        const int w = static_cast<int>(std::lround((s - first) * 64));
        a.first[static_cast<size_t>(i)] = first;
        a.next[static_cast<size_t>(i)] = static_cast<std::uint8_t>(std::clamp(w, 0, 64));
    }
    return a;
}

bool PlaneScaler::setUp(QSize from, QSize to) {
    from_ = to_ = QSize();
    if (from.width() < 2 || from.height() < 2 || to.width() < 2 || to.height() < 2 ||
        to.width() > kLargestSide || to.height() > kLargestSide)
        return false;
    halvings_ = 0;
    reduced_ = from;
    size_t halved = 0;
    while (to.width() * 2 <= reduced_.width() && to.height() * 2 <= reduced_.height()) {
        reduced_ = halfOf(reduced_);
        halved += size_t(reduced_.width()) * size_t(reduced_.height());
        ++halvings_;
    }
    halves_.assign(halved + kPadding, 0);
    rows_ = axis(reduced_.height(), to.height());
    columns_ = axis(reduced_.width(), to.width());
    row_.assign(size_t(reduced_.width()) + kPadding, 0);

    const int groups = to.width() / 8;
    groupStart_.assign(size_t(groups), 0);
    shuffles_.assign(size_t(groups) * 16, 0);
    weights_.assign(size_t(groups) * 16, 0);
    groups_ = true;
    for (int g = 0; g < groups && groups_; ++g) {
        const int start = columns_.first[size_t(8 * g)];
        groupStart_[size_t(g)] = start;
        for (int i = 0; i < 8; ++i) {
            const size_t o = size_t(8 * g + i), b = size_t(16 * g + 2 * i);
            const int left = columns_.first[o] - start;
            if (left + 1 > 15) groups_ = false;
            shuffles_[b] = static_cast<std::uint8_t>(left);
            shuffles_[b + 1] = static_cast<std::uint8_t>(left + 1);
            weights_[b] = static_cast<std::uint8_t>(64 - columns_.next[o]);
            weights_[b + 1] = columns_.next[o];
        }
    }
    from_ = from;
    to_ = to;
    return true;
}

void PlaneScaler::halve(const std::uint8_t* src, int srcStride, QSize size, std::uint8_t* dst,
                        int dstStride, bool simd) const {
    const int width = halfOf(size).width(), height = halfOf(size).height();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* r0 = src + std::ptrdiff_t(2 * y) * srcStride;
        std::uint8_t* out = dst + std::ptrdiff_t(y) * dstStride;
        int x = 0;
#ifdef ZV_X86
        if (simd) x = halveRowSimd(r0, r0 + srcStride, out, width);
#endif
        halveRowPlain(r0, r0 + srcStride, out, x, width);
    }
}

void PlaneScaler::resample(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
                           bool simd) {
    const int width = reduced_.width();
    std::uint8_t* row = row_.data();
    for (int y = 0; y < to_.height(); ++y) {
        const std::uint8_t* a = src + std::ptrdiff_t(rows_.first[size_t(y)]) * srcStride;
        const int w = rows_.next[size_t(y)];
        if (w == 0) {
            std::memcpy(row, a, size_t(width));
        } else {
            int x = 0;
#ifdef ZV_X86
            if (simd) x = blendRowSimd(a, a + srcStride, w, row, width);
#endif
            blendRowPlain(a, a + srcStride, w, row, x, width);
        }
        std::uint8_t* out = dst + std::ptrdiff_t(y) * dstStride;
        int x = 0;
#ifdef ZV_X86
        if (simd && groups_) {
            resampleRowSimd(row, groupStart_.data(), shuffles_.data(), weights_.data(),
                            to_.width() / 8, out);
            x = to_.width() / 8 * 8;
        }
#endif
        for (; x < to_.width(); ++x) {
            const int first = columns_.first[size_t(x)];
            out[x] = blend(row[first], row[first + 1], columns_.next[size_t(x)]);
        }
    }
}

void PlaneScaler::scale(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride) {
    if (!from_.isValid()) return;
    const bool simd = !plainOnly_ && hasSsse3();
    QSize size = from_;
    std::uint8_t* level = halves_.data();
    for (int k = 0; k < halvings_; ++k) {
        const QSize half = halfOf(size);
        const bool last = k + 1 == halvings_ && half == to_;
        std::uint8_t* out = last ? dst : level;
        const int outStride = last ? dstStride : half.width();
        halve(src, srcStride, size, out, outStride, simd);
        if (last) return;
        src = out;
        srcStride = outStride;
        size = half;
        level += std::ptrdiff_t(half.width()) * half.height();
    }
    resample(src, srcStride, dst, dstStride, simd);
}

}  // namespace video
