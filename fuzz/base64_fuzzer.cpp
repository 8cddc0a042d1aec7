// SPDX-License-Identifier: GPL-3.0-or-later
// The Base64 codec on arbitrary bytes, both ways. Decoding arbitrary text
// then encoding and decoding again must give the same bytes; encoding the
// input as bytes, with and without line breaks, must have the exact layout
// (length, lines of 64 characters joined by CR LF, padding only at the end)
// and decode back to the input; the raw and the wrapped interfaces agree.

#include "base64.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

bool inAlphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

void checkLayout(const std::string& text, std::size_t n, bool separateLines) {
    const std::size_t body = (n + 2) / 3 * 4;
    const std::size_t breaks = separateLines && body != 0 ? (body - 1) / 64 : 0;
    check(text.size() == body + 2 * breaks, "encoded length");
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            check(separateLines && column == 64 && i + 1 < text.size() && text[i + 1] == '\n',
                  "CR LF only after a full line");
            ++i;
            column = 0;
            continue;
        }
        ++column;
        const bool padding = text[i] == '=';
        check(inAlphabet(text[i]) || (padding && text.size() - i <= 2), "alphabet and padding");
        if (padding) check(i + 1 == text.size() || text[i + 1] == '=', "padding ends the text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Arbitrary text: decode, encode, decode.
    const std::vector<std::uint8_t> decoded = codec::base64Decode(input);
    check(decoded.size() <= (size + 3) / 4 * 3, "decoded size bound");
    const std::string reencoded = codec::base64Encode(decoded.data(), decoded.size(), true);
    check(codec::base64Decode(reencoded) == decoded, "decode, encode, decode agrees");

    // Text measured up to its NUL by the raw decoder.
    const std::string measured(input.data(), strnlen(input.data(), size));
    std::size_t rawLength = 0;
    const auto raw = codec::NewBase64Decode(measured.c_str(), codec::kMeasureInput, &rawLength);
    check(raw && std::vector<std::uint8_t>(raw.get(), raw.get() + rawLength) ==
                     codec::base64Decode(measured),
          "measured and sized decoding agree");

    // Arbitrary bytes: encode both ways, then decode.
    for (bool separateLines : {false, true}) {
        std::size_t length = 0;
        const auto encoded = codec::NewBase64Encode(data, size, separateLines, &length);
        check(encoded && std::strlen(encoded.get()) == length, "NUL after the reported length");
        const std::string text(encoded.get(), length);
        checkLayout(text, size, separateLines);
        check(codec::base64Encode(data, size, separateLines) == text, "wrapper agrees");
        check(codec::base64Decode(text) == std::vector<std::uint8_t>(data, data + size),
              "encode, decode gives the bytes back");
    }
    return 0;
}
