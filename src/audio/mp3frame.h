// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// MPEG audio frame headers and the search for frames in a byte window. Pure
// functions over bytes, so that the growing-file reader and the fuzz target
// share them. Layers I, II and III of MPEG-1, MPEG-2 and MPEG-2.5 are known;
// "free format" (bit rate index 0) is refused, since its frame length cannot
// be told from the header.
namespace mp3 {

struct FrameHeader {
    int version = 0;  // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;    // 1, 2 or 3
    int bitRate = 0;  // kbit/s
    int sampleRate = 0;
    int channels = 0;  // 1 or 2
    bool padding = false;
    std::uint32_t length = 0;           // bytes of the whole frame, header included
    std::uint32_t samplesPerFrame = 0;  // PCM frames per channel
    std::uint32_t maxLength = 0;        // length of a frame like this one with padding
};

// Reads the four bytes at p (n must be at least 4) as a frame header.
std::optional<FrameHeader> parseHeader(const std::uint8_t* p, std::size_t n);

// True when b may follow a in the same stream: same version, layer, sample
// rate and channel mode family. Bit rate and padding may change.
bool sameStream(const FrameHeader& a, const FrameHeader& b);

enum class Found { Frame, NeedMore, None };

struct Location {
    Found found = Found::None;
    std::size_t offset = 0;  // of the frame, when found == Frame
    FrameHeader header;
};

// Looks for the first frame at or after from in data[0, n), confirmed by the
// header of the frame that follows it (which must belong to the same stream,
// and to ref's stream when ref is given). NeedMore: a candidate needs bytes
// beyond n to be confirmed (offset is that candidate); None: no candidate in
// the window at all. end says that no more bytes will ever follow: a
// candidate whose frame ends exactly at n is then accepted unconfirmed.
Location findFrame(const std::uint8_t* data, std::size_t n, std::size_t from,
                   const FrameHeader* ref = nullptr, bool end = false);

}  // namespace mp3
