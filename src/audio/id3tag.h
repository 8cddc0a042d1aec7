// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reading of an ID3v2 tag at the start of an MP3 stream. Pure functions over
// bytes: every read stays inside the bytes given, whatever the sizes written
// in the tag say.
namespace id3 {

// Bytes the ID3v2 tag at data takes (header, body and footer), or 0 when data
// does not begin with a well-formed tag header. n must be at least 10 for a
// tag to be seen.
std::size_t tagSize(const std::uint8_t* data, std::size_t n);

// What the stream's tag tells. An absent value is a field the tag lacks (or
// that runs past the tag's end).
struct TagInfo {
    std::optional<std::vector<std::uint8_t>> image;  // picture data of the first "APIC" frame
    std::optional<std::string> duration;             // text of "TLEN", UTF-8
    // The information dictionary: "album", "title", "genre", "year",
    // "copyright", UTF-8.
    std::optional<std::string> album, title, genre, year, copyright;
};

// Reads the tag bytes (as tagSize() delimits them). The picture and the
// length are found by searching the bytes for "APIC\0" and "TLEN\0", so that
// they are found in any tag version whose frame sizes are below 16 MiB; the
// dictionary comes from walking the tag's frames.
TagInfo readTag(const std::uint8_t* tag, std::size_t size);

// Swaps the four bytes of value end for end.
void flipBytesInUInt32(std::uint32_t* value);

}  // namespace id3
