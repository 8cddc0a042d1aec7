// SPDX-License-Identifier: GPL-3.0-or-later
#include "base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(Base64Test, Rfc4648Vectors) {
    // clang-format off
    const Pairs cases = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFB\xFF\xBF", "+/+/"},
    };
    // clang-format on
    for (const auto& [plain, encoded] : cases) {
        const std::vector<std::uint8_t> in = bytes(plain);
        EXPECT_EQ(codec::base64EncodedString(in), encoded);
        EXPECT_EQ(codec::base64EncodeLine(in.data(), in.size()), encoded);
        EXPECT_EQ(codec::dataFromBase64String(encoded), in);
        // The raw interface: NUL-terminated output and the measured length.
        std::size_t length = 12345;
        const auto text = codec::NewBase64Encode(in.data(), in.size(), false, &length);
        EXPECT_EQ(std::string(text.get(), length), encoded);
        EXPECT_EQ(text.get()[length], '\0');
        for (std::size_t given : {codec::kMeasureInput, encoded.size()}) {
            const auto back = codec::NewBase64Decode(encoded.c_str(), given, &length);
            EXPECT_EQ(std::vector<std::uint8_t>(back.get(), back.get() + length), in);
        }
    }
    // A decoded length counts only what the input holds before its end.
    std::size_t length = 12345;
    const auto part = codec::NewBase64Decode("Zm9vYmFy", 4, &length);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(part.get()), length), "foo");
}

// Breaks stand only between full lines of 64 characters; the one-line form
// is the same text without them, and both decode to the input.
TEST(Base64Test, LineBreaksOnlyBetweenFullLines) {
    const std::string line2 = "MDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5f";
    // input size (bytes 0, 1, 2, ...), what follows the first 64 characters
    // clang-format off
    const std::vector<std::pair<std::size_t, std::string>> cases = {
        {48, ""}, {49, "\r\nMA=="}, {96, "\r\n" + line2}, {97, "\r\n" + line2 + "\r\nYA=="},
    };
    // clang-format on
    for (const auto& [size, tail] : cases) {
        std::vector<std::uint8_t> in(size);
        for (std::size_t i = 0; i < size; ++i) in[i] = static_cast<std::uint8_t>(i);
        const std::string broken = codec::base64EncodedString(in);
        const std::string line = codec::base64EncodeLine(in.data(), in.size());
        EXPECT_EQ(broken.substr(64), tail) << size;
        std::string unbroken = broken;
        std::erase_if(unbroken, [](char c) { return c == '\r' || c == '\n'; });
        EXPECT_EQ(line, unbroken) << size;
        EXPECT_EQ(codec::base64Decode(broken), in) << size;
    }
}

TEST(Base64Test, DecodeSkipsBytesOutsideTheAlphabet) {
    const Pairs cases = {
        {"Y\r\nW\tJ=j", "abc"}, {"YWJj\xC3\xA9", "abc"},
        {"Zm9vYmE", "fooba"},    // three characters of a last group give two bytes
        {"Zm9vY", "foo"},        // and one gives none
        {"Zg==Zg==", "f\x06`"},  // padding is skipped: one group of four
    };
    for (const auto& [text, plain] : cases) EXPECT_EQ(codec::base64Decode(text), bytes(plain));
}

}  // namespace
