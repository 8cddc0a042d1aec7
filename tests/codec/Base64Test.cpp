#include "base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// Bytes 0, 1, 2, ... n-1 (mod 256).
std::vector<std::uint8_t> counting(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i);
    return v;
}

struct Vector {
    std::string plain;
    std::string encoded;
};

class Rfc4648 : public ::testing::TestWithParam<Vector> {};

TEST_P(Rfc4648, EncodesAndDecodes) {
    const std::vector<std::uint8_t> in = bytes(GetParam().plain);
    EXPECT_EQ(codec::base64EncodedString(in), GetParam().encoded);
    EXPECT_EQ(codec::base64EncodeLine(in.data(), in.size()), GetParam().encoded);
    EXPECT_EQ(codec::dataFromBase64String(GetParam().encoded), in);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Vectors, Rfc4648, ::testing::Values(
    Vector{"", ""},
    Vector{"f", "Zg=="},
    Vector{"fo", "Zm8="},
    Vector{"foo", "Zm9v"},
    Vector{"foob", "Zm9vYg=="},
    Vector{"fooba", "Zm9vYmE="},
    Vector{"foobar", "Zm9vYmFy"},
    Vector{"admin:", "YWRtaW46"},
    Vector{std::string("\xFB\xFF\xBF", 3), "+/+/"},
    Vector{std::string("\0\0\0", 3), "AAAA"}));
// clang-format on

struct LineCase {
    std::size_t inputBytes;
    std::size_t length;           // with line breaks
    std::vector<std::size_t> at;  // positions of CR (each followed by LF)
};

class LineBreaks : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineBreaks, OnlyBetweenFullLines) {
    const std::vector<std::uint8_t> in = counting(GetParam().inputBytes);
    const std::string broken = codec::base64EncodedString(in);
    EXPECT_EQ(broken.size(), GetParam().length);
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < broken.size(); ++i) {
        if (broken[i] == '\r') {
            at.push_back(i);
            EXPECT_EQ(broken.at(i + 1), '\n');
        }
    }
    EXPECT_EQ(at, GetParam().at);
    // Without breaks: 4 * ceil(n / 3) characters, the same ones.
    const std::string line = codec::base64EncodeLine(in.data(), in.size());
    EXPECT_EQ(line.size(), 4 * ((in.size() + 2) / 3));
    std::string unbroken = broken;
    std::erase(unbroken, '\r');
    std::erase(unbroken, '\n');
    EXPECT_EQ(unbroken, line);
    EXPECT_EQ(codec::base64Decode(broken), in);
    EXPECT_EQ(codec::base64Decode(line), in);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, LineBreaks, ::testing::Values(
    LineCase{47, 64, {}},
    LineCase{48, 64, {}},
    LineCase{49, 70, {64}},
    LineCase{96, 130, {64}},
    LineCase{97, 136, {64, 130}},
    LineCase{480, 4 * 160 + 9 * 2, {64, 130, 196, 262, 328, 394, 460, 526, 592}}));
// clang-format on

TEST(Base64Test, FortyNineBytesEndInPadding) {
    const std::vector<std::uint8_t> in = counting(49);
    const std::string s = codec::base64EncodedString(in);
    EXPECT_EQ(s.substr(64, 2), "\r\n");
    EXPECT_EQ(s.substr(66), "MA==");  // byte 48 = 0x30
}

struct DecodeCase {
    std::string text;
    std::string plain;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, SkipsBytesOutsideTheAlphabet) {
    EXPECT_EQ(codec::base64Decode(GetParam().text), bytes(GetParam().plain));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Skips, Decoding, ::testing::Values(
    DecodeCase{"YWJj\n", "abc"},
    DecodeCase{"Y\r\nW\tJ=j", "abc"},
    DecodeCase{"=YWJj=", "abc"},
    DecodeCase{"YWJj\xC3\xA9", "abc"},
    DecodeCase{"Zm9vYg", "foob"},
    DecodeCase{"Zm9vYmE", "fooba"},
    DecodeCase{"Zm9vY", "foo"},
    DecodeCase{"Zg==Zg==", "f\x06`"},  // padding is skipped: one group of four
    DecodeCase{"!!!!", ""},
    DecodeCase{"", ""}));
// clang-format on

TEST(Base64Test, NonAsciiTextDecodesAsEmpty) {
    EXPECT_TRUE(codec::dataFromBase64String("YWJj\xC3\xA9").empty());
    EXPECT_EQ(codec::dataFromBase64String("YWJj\r\n"), bytes("abc"));
}

TEST(Base64Test, RawBuffersAreNulTerminatedWithExactLength) {
    const std::vector<std::uint8_t> in = counting(49);
    std::size_t length = 12345;
    const std::unique_ptr<char[]> encoded =
        codec::NewBase64Encode(in.data(), in.size(), true, &length);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(length, 70u);
    EXPECT_EQ(std::strlen(encoded.get()), 70u);

    std::size_t decodedLength = 12345;
    const std::unique_ptr<std::uint8_t[]> decoded =
        codec::NewBase64Decode(encoded.get(), codec::kMeasureInput, &decodedLength);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decodedLength, 49u);
    EXPECT_EQ(std::vector<std::uint8_t>(decoded.get(), decoded.get() + 49), in);

    const std::unique_ptr<std::uint8_t[]> prefix =
        codec::NewBase64Decode("YWJjZGVm", 4, &decodedLength);
    EXPECT_EQ(decodedLength, 3u);

    const std::unique_ptr<char[]> empty = codec::NewBase64Encode("", 0, false, &length);
    ASSERT_TRUE(empty);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(empty[0], '\0');
}

TEST(Base64Test, EveryLengthRoundTrips) {
    for (std::size_t n = 0; n < 300; ++n) {
        const std::vector<std::uint8_t> in = counting(n);
        for (bool lines : {false, true}) {
            const std::string s = codec::base64Encode(in.data(), in.size(), lines);
            ASSERT_EQ(codec::base64Decode(s), in) << n << (lines ? " with lines" : "");
            EXPECT_NE(s.substr(s.size() >= 2 ? s.size() - 2 : 0), "\r\n");
        }
    }
}

}  // namespace
