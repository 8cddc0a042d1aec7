// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the ID3v2 tag reader: the input is the tag's bytes as the
// stream's file holds them. Property: nothing is read outside the tag (the
// bytes are copied to a buffer of exactly their size, so AddressSanitizer
// sees any overrun), the picture is a run of the tag's own bytes, and the
// size reported for a tag never exceeds what its header can say.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "id3tag.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> tag(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(tag.get(), data, size);

    const std::size_t claimed = id3::tagSize(tag.get(), size);
    check(claimed == 0 || (claimed >= 10 && claimed <= 10 + 0x0FFFFFFF + 10));

    const id3::TagInfo info = id3::readTag(tag.get(), size);
    if (info.image) {
        check(info.image->size() <= size);
        check(info.image->empty() ||
              memmem(tag.get(), size, info.image->data(), info.image->size()) != nullptr);
    }
    if (info.duration) check(info.duration->size() <= size);
    for (const auto* text : {&info.album, &info.title, &info.genre, &info.year, &info.copyright}) {
        // UTF-16 text becomes at most 3 UTF-8 bytes per 2 input bytes; Latin-1
        // at most 2 per byte.
        if (*text) check((*text)->size() <= 2 * size);
    }
    return 0;
}
