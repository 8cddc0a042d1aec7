// SPDX-License-Identifier: GPL-3.0-or-later
#include "base64.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace codec {

namespace {

constexpr char kEncode[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kOutside = 0xFF;

struct DecodeTable {
    std::uint8_t value[256];
    constexpr DecodeTable() : value() {
        for (auto& v : value) v = kOutside;
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(kEncode[i])] = static_cast<std::uint8_t>(i);
    }
};
constexpr DecodeTable kDecode;

// 48 input bytes make one line of 64 characters.
constexpr std::size_t kLineBytes = 48;
constexpr std::size_t kLineChars = 64;

// Exact output length, or kMeasureInput when it would not fit in size_t.
std::size_t encodedLength(std::size_t length, bool separateLines) {
    const std::size_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
    if (groups > (kMeasureInput - 1) / 5) return kMeasureInput;  // room for breaks and the NUL
    std::size_t chars = groups * 4;
    // A break stands between full lines only: never first, never last.
    if (separateLines && chars > 0) chars += 2 * ((chars - 1) / kLineChars);
    return chars;
}

std::size_t decodedCapacity(std::size_t length) {
    return 3 * (length / 4 + (length % 4 != 0 ? 1 : 0));
}

// Writes exactly encodedLength(length, separateLines) characters to out.
void encodeInto(const std::uint8_t* in, std::size_t length, bool separateLines, char* out) {
    const std::size_t lineBytes = separateLines ? kLineBytes : length;
    std::size_t i = 0;
    for (;;) {
        const std::size_t lineEnd = length - i > lineBytes ? i + lineBytes : length;
        for (; lineEnd - i >= 3; i += 3) {
            const unsigned triple =
                (unsigned{in[i]} << 16) | (unsigned{in[i + 1]} << 8) | in[i + 2];
            *out++ = kEncode[triple >> 18];
            *out++ = kEncode[(triple >> 12) & 0x3F];
            *out++ = kEncode[(triple >> 6) & 0x3F];
            *out++ = kEncode[triple & 0x3F];
        }
        if (lineEnd == length) break;
        *out++ = '\r';
        *out++ = '\n';
    }
    const std::size_t rest = length - i;
    if (rest == 2) {
        *out++ = kEncode[in[i] >> 2];
        *out++ = kEncode[((in[i] & 0x03) << 4) | (in[i + 1] >> 4)];
        *out++ = kEncode[(in[i + 1] & 0x0F) << 2];
        *out++ = '=';
    } else if (rest == 1) {
        *out++ = kEncode[in[i] >> 2];
        *out++ = kEncode[(in[i] & 0x03) << 4];
        *out++ = '=';
        *out++ = '=';
    }
}

// Writes at most decodedCapacity(length) bytes; returns how many.
std::size_t decodeInto(const char* in, std::size_t length, std::uint8_t* out) {
    std::uint8_t* const start = out;
    unsigned accumulated = 0;
    int count = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t v = kDecode.value[static_cast<unsigned char>(in[i])];
        if (v == kOutside) continue;
        accumulated = (accumulated << 6) | v;
        if (++count == 4) {
            *out++ = static_cast<std::uint8_t>(accumulated >> 16);
            *out++ = static_cast<std::uint8_t>(accumulated >> 8);
            *out++ = static_cast<std::uint8_t>(accumulated);
            accumulated = 0;
            count = 0;
        }
    }
    if (count == 3) {  // 18 bits: two bytes
        *out++ = static_cast<std::uint8_t>(accumulated >> 10);
        *out++ = static_cast<std::uint8_t>(accumulated >> 2);
    } else if (count == 2) {  // 12 bits: one byte
        *out++ = static_cast<std::uint8_t>(accumulated >> 4);
    }
    return static_cast<std::size_t>(out - start);
}

}  // namespace

std::unique_ptr<char[]> NewBase64Encode(const void* buffer, std::size_t length, bool separateLines,
                                        std::size_t* outputLength) {
    const std::size_t chars = encodedLength(length, separateLines);
    if (chars == kMeasureInput) return nullptr;
    std::unique_ptr<char[]> out(new (std::nothrow) char[chars + 1]);
    if (!out) return nullptr;
    encodeInto(static_cast<const std::uint8_t*>(buffer), length, separateLines, out.get());
    out[chars] = '\0';
    if (outputLength) *outputLength = chars;
    return out;
}

std::unique_ptr<std::uint8_t[]> NewBase64Decode(const char* input, std::size_t length,
                                                std::size_t* outputLength) {
    if (length == kMeasureInput) length = std::strlen(input);
    // At least one byte, so that an empty result is still a buffer.
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow)
                                            std::uint8_t[decodedCapacity(length) + 1]);
    if (!out) return nullptr;
    const std::size_t n = decodeInto(input, length, out.get());
    if (outputLength) *outputLength = n;
    return out;
}

std::string base64Encode(const void* data, std::size_t length, bool separateLines) {
    const std::size_t chars = encodedLength(length, separateLines);
    if (chars == kMeasureInput) throw std::length_error("base64Encode: input too long");
    std::string out(chars, '\0');
    encodeInto(static_cast<const std::uint8_t*>(data), length, separateLines, out.data());
    return out;
}

std::string base64EncodeLine(const unsigned char* data, std::size_t length) {
    return base64Encode(data, length, false);
}

std::string base64EncodedString(const std::vector<std::uint8_t>& data) {
    return base64Encode(data.data(), data.size(), true);
}

std::vector<std::uint8_t> base64Decode(std::string_view text) {
    std::vector<std::uint8_t> out(decodedCapacity(text.size()));
    out.resize(decodeInto(text.data(), text.size(), out.data()));
    return out;
}

std::vector<std::uint8_t> dataFromBase64String(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return {};
    return base64Decode(text);
}

}  // namespace codec
