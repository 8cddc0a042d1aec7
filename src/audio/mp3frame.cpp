// SPDX-License-Identifier: GPL-3.0-or-later
#include "mp3frame.h"

#include <algorithm>

namespace mp3 {

namespace {

// kbit/s by [table][index]; tables: MPEG-1 layer I, II, III; MPEG-2/2.5
// layer I; MPEG-2/2.5 layers II and III. Index 0 (free format) and 15 (bad)
// are refused before the lookup.
constexpr int kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

constexpr int kSampleRates[3][3] = {
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
};

std::uint32_t frameLength(int version, int layer, int bitRate, int sampleRate, bool padding) {
    const std::uint32_t bits = static_cast<std::uint32_t>(bitRate) * 1000u;
    const std::uint32_t rate = static_cast<std::uint32_t>(sampleRate);
    const std::uint32_t pad = padding ? 1u : 0u;
    if (layer == 1) return (12u * bits / rate + pad) * 4u;
    if (layer == 3 && version != 10) return 72u * bits / rate + pad;
    return 144u * bits / rate + pad;
}

}  // namespace

std::optional<FrameHeader> parseHeader(const std::uint8_t* p, std::size_t n) {
    if (n < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitRateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        rateIndex == 3 || (p[3] & 3) == 2) {
        return std::nullopt;
    }
    FrameHeader h;
    h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    h.layer = 4 - layerBits;
    const int table = h.version == 10 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    h.bitRate = kBitRates[table][bitRateIndex];
    h.sampleRate = kSampleRates[h.version == 10 ? 0 : h.version == 20 ? 1 : 2][rateIndex];
    h.padding = (p[2] >> 1) & 1;
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.samplesPerFrame = h.layer == 1 ? 384u : (h.layer == 3 && h.version != 10) ? 576u : 1152u;
    h.length = frameLength(h.version, h.layer, h.bitRate, h.sampleRate, h.padding);
    h.maxLength = frameLength(h.version, h.layer, h.bitRate, h.sampleRate, true);
    // The shortest real frame (MPEG-2.5 layer III, 8 kbit/s, 12 kHz) is 48
    // bytes; anything this short is not a frame.
    if (h.length < 24) return std::nullopt;
    return h;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate &&
           a.channels == b.channels;
}

Location findFrame(const std::uint8_t* data, std::size_t n, std::size_t from,
                   const FrameHeader* ref, bool end) {
    Location result;
    for (std::size_t pos = from; pos + 4 <= n; ++pos) {
        if (data[pos] != 0xFF) continue;
        const std::optional<FrameHeader> h = parseHeader(data + pos, n - pos);
        if (!h || (ref && !sameStream(*ref, *h))) continue;
        const std::size_t next = pos + h->length;
        if (next + 4 <= n) {
            const std::optional<FrameHeader> following = parseHeader(data + next, n - next);
            if (!following || !sameStream(*h, *following)) continue;
            result.found = Found::Frame;
        } else if (end && next == n) {
            result.found = Found::Frame;
        } else if (end) {
            continue;
        } else {
            result.found = Found::NeedMore;
        }
        result.offset = pos;
        result.header = *h;
        return result;
    }
    result.found = Found::None;
    // Where a header could still begin once more bytes arrive.
    result.offset = n >= 3 ? std::max(from, n - 3) : from;
    return result;
}

}  // namespace mp3
