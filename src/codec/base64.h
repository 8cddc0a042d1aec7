// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Base64 with the standard alphabet of RFC 4648 ('+', '/', '=' padding).
// Encoding writes either one unbroken line (the form an "Authorization:
// Basic" header needs) or lines of 64 characters joined by CR LF. Decoding
// skips every byte outside the alphabet ('=', CR, LF, blanks, bytes of 0x80
// and above) and never fails: a short final group is used as far as it goes.
// Every call allocates its output once, sized in advance.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace codec {

// Passed as the input length of NewBase64Decode: the input is NUL-terminated.
inline constexpr std::size_t kMeasureInput = std::numeric_limits<std::size_t>::max();

// Encodes length bytes into a new NUL-terminated buffer; *outputLength (if
// given) receives the number of characters before the NUL. Returns null if
// the buffer cannot be allocated.
std::unique_ptr<char[]> NewBase64Encode(const void* buffer, std::size_t length, bool separateLines,
                                        std::size_t* outputLength);

// Decodes length characters (kMeasureInput: up to the NUL) into a new buffer;
// *outputLength (if given) receives the number of bytes. Returns null if the
// buffer cannot be allocated.
std::unique_ptr<std::uint8_t[]> NewBase64Decode(const char* input, std::size_t length,
                                                std::size_t* outputLength);

// The same as text and bytes. Like any standard container they report
// exhausted memory by throwing std::bad_alloc.
std::string base64Encode(const void* data, std::size_t length, bool separateLines);
// One unbroken line, for the "Authorization" header.
std::string base64EncodeLine(const unsigned char* data, std::size_t length);
// Lines of 64 characters joined by CR LF.
std::string base64EncodedString(const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> base64Decode(std::string_view text);
// The decoded bytes of text; a text holding a byte of 0x80 or above (not
// pure ASCII) decodes as empty.
std::vector<std::uint8_t> dataFromBase64String(std::string_view text);

}  // namespace codec
