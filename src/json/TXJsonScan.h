// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Byte-level helpers shared by the JSON parser and writer (internal).

#include <cstddef>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tx::scan {

// Bytes that end a run of plain string content: the double quote, the
// backslash and every byte below 0x20 (the terminating NUL included).
struct StopSet {
    bool stop[256];
    constexpr StopSet() : stop() {
        for (int b = 0; b < 0x20; ++b) stop[b] = true;
        stop[static_cast<unsigned char>('"')] = true;
        stop[static_cast<unsigned char>('\\')] = true;
    }
};
inline constexpr StopSet kStopSet;

// The first byte of [p, end) in the stop set, or end. Never reads at or past
// end. Sets nonAscii when a byte of 0x80 or above lies before the result.
inline const char* findStop(const char* p, const char* end, bool& nonAscii) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i controlMax = _mm_set1_epi8(0x1F);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Unsigned b <= 0x1F exactly when max(b, 0x1F) == 0x1F.
        const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(bytes, controlMax), controlMax);
        const __m128i hits = _mm_or_si128(
            control, _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        const unsigned stopMask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        const unsigned highMask = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (stopMask != 0) {
            const int at = __builtin_ctz(stopMask);
            if (highMask & ((1u << at) - 1)) nonAscii = true;
            return p + at;
        }
        if (highMask != 0) nonAscii = true;
        p += 16;
    }
#endif
    for (; p != end; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        if (kStopSet.stop[b]) break;
        if (b >= 0x80) nonAscii = true;
    }
    return p;
}

inline bool isDigit(unsigned char b) {
    return b >= '0' && b <= '9';
}

// Lowercase hexadecimal without leading zeros, as in "0x%x".
inline std::string hex(unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    char buf[sizeof(unsigned) * 2];
    std::size_t n = 0;
    do {
        buf[n++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string out;
    while (n != 0) out += buf[--n];
    return out;
}

}  // namespace tx::scan
