// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

#include <cstdint>
#include <vector>

namespace video {

// Scales one plane of 8-bit samples (a YUV frame's luma or chroma) from one
// size to another, set up once for a stream's sizes. Bilinear with the
// sample centres aligned, weights in 64ths; a reduction to less than half
// first halves the plane (each sample the mean of a 2x2 block) until what is
// left is half or more, so that no sample is skipped. Vertical before
// horizontal, so that the horizontal pass, the costly one, runs on output
// rows only. On x86 processors with SSSE3 both passes take 8 to 16 samples
// an instruction; elsewhere the same arithmetic runs one sample at a time,
// with results equal to the sample.
class PlaneScaler {
public:
    // false for sizes it does not take (a side under 2, a result larger than
    // 8192): the caller scales otherwise.
    bool setUp(QSize from, QSize to);
    QSize from() const { return from_; }
    QSize to() const { return to_; }
    // src: from() samples, rows srcStride bytes apart; dst: to() samples.
    void scale(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride);
    // Whether this processor takes the vector path; without it libswscale's
    // own is faster than the plain one.
    static bool vectorPath();
    // The one-sample-at-a-time path everywhere, for comparing the two.
    void setPlainOnly(bool on) { plainOnly_ = on; }

private:
    struct Axis {
        std::vector<int> first;          // per output sample: its left/upper source sample
        std::vector<std::uint8_t> next;  // per output sample: the weight of the one after, 0..64
    };
    static Axis axis(int from, int to);
    void halve(const std::uint8_t* src, int srcStride, QSize size, std::uint8_t* dst, int dstStride,
               bool simd) const;
    void resample(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
                  bool simd);

    QSize from_, to_;
    int halvings_ = 0;
    QSize reduced_;  // from_ after the halvings
    Axis rows_, columns_;
    // Per group of 8 output samples: the source sample the group's 16-byte
    // load starts at, the shuffle that pairs each output's two samples, and
    // their weights; false when a group's samples do not fit in 16 bytes.
    std::vector<int> groupStart_;
    std::vector<std::uint8_t> shuffles_, weights_;  // 16 bytes a group
    bool groups_ = false;
    bool plainOnly_ = false;
    std::vector<std::uint8_t> row_;     // one vertically blended row (and padding)
    std::vector<std::uint8_t> halves_;  // the halved planes, one after another
};

}  // namespace video
