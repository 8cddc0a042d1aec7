#include "TXJsonValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using tx::Decimal;

namespace {

struct TextCase {
    std::string input;
    std::string text;  // toString(); empty when fromString must fail
};

class DecimalText : public ::testing::TestWithParam<TextCase> {};

TEST_P(DecimalText, RoundTripsThroughText) {
    const std::optional<Decimal> d = Decimal::fromString(GetParam().input);
    if (GetParam().text.empty()) {
        EXPECT_FALSE(d.has_value());
        return;
    }
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->toString(), GetParam().text);
    // The text written reads back as the same value.
    const std::optional<Decimal> again = Decimal::fromString(d->toString());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, *d);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Numbers, DecimalText, ::testing::Values(
    TextCase{"0", "0"},
    TextCase{"-0", "-0"},
    TextCase{"7", "7"},
    TextCase{"-12", "-12"},
    TextCase{"100", "100"},
    TextCase{"1.50", "1.5"},
    TextCase{"0.1", "0.1"},
    TextCase{"-0.5", "-0.5"},
    TextCase{"123.456", "123.456"},
    TextCase{"1e3", "1000"},
    TextCase{"12.5e-1", "1.25"},
    TextCase{"1e-7", "0.0000001"},
    TextCase{"1e-8", "1e-8"},
    TextCase{"1.25e40", "1.25e+40"},
    TextCase{"1e39", "1000000000000000000000000000000000000000"},
    TextCase{"-9.87654321e-20", "-9.87654321e-20"},
    TextCase{"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
    TextCase{"0.00000000000000000000000000000000000000000000000001", "1e-50"},
    TextCase{"10000000000000000000000000000000000000000000000000", "1e+49"},
    TextCase{"1.0000000000000000000000000000000000000000000000000", "1"},
    TextCase{"1e1000000000", "1e+1000000000"},
    TextCase{"1e-1000000000", "1e-1000000000"},
    TextCase{"0e-99999999999999999999999", "0"},
    TextCase{"1e00000000000000000000000000000000000003", "1000"},
    // Refused: beyond 38 significant digits or the exponent range, or not
    // in JSON's number grammar.
    TextCase{"100000000000000000000000000000000000001", ""},
    TextCase{"1.00000000000000000000000000000000000001", ""},
    TextCase{"1e1000000001", ""},
    TextCase{"0.1e-1000000000", ""},
    TextCase{"1e99999999999999999999999", ""},
    TextCase{"", ""},
    TextCase{"-", ""},
    TextCase{"+1", ""},
    TextCase{"01", ""},
    TextCase{"1e", ""},
    TextCase{"1x", ""},
    TextCase{"Infinity", ""}));
// clang-format on

struct IntCase {
    std::string input;
    std::optional<std::int64_t> value;
};

class DecimalInt64 : public ::testing::TestWithParam<IntCase> {};

TEST_P(DecimalInt64, ConvertsExactlyOrNotAtAll) {
    const std::optional<Decimal> d = Decimal::fromString(GetParam().input);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->toInt64(), GetParam().value);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Numbers, DecimalInt64, ::testing::Values(
    IntCase{"0", 0},
    IntCase{"-0", 0},
    IntCase{"42", 42},
    IntCase{"1.0", 1},
    IntCase{"12e2", 1200},
    IntCase{"1.5e1", 15},
    IntCase{"9223372036854775807", INT64_MAX},
    IntCase{"-9223372036854775808", INT64_MIN},
    IntCase{"9223372036854775808", std::nullopt},
    IntCase{"-9223372036854775809", std::nullopt},
    IntCase{"1e19", std::nullopt},
    IntCase{"1e18", 1'000'000'000'000'000'000},
    IntCase{"0.5", std::nullopt},
    IntCase{"1.05e1", std::nullopt},
    IntCase{"1e-1", std::nullopt}));
// clang-format on

TEST(DecimalTest, FromInt64IsExactAndNormalised) {
    for (std::int64_t v : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}, std::int64_t{1000},
                           INT64_MAX, INT64_MIN}) {
        const Decimal d = Decimal::fromInt64(v);
        EXPECT_EQ(d.toInt64(), v);
        EXPECT_EQ(d, *Decimal::fromString(std::to_string(v)));
    }
    EXPECT_EQ(Decimal::fromInt64(1000).mantissa(), 1u);
    EXPECT_EQ(Decimal::fromInt64(1000).exponent(), 3);
    EXPECT_EQ(Decimal::fromInt64(INT64_MIN).toString(), "-9223372036854775808");
}

TEST(DecimalTest, EqualityIsNumeric) {
    EXPECT_EQ(*Decimal::fromString("1.0"), *Decimal::fromString("1"));
    EXPECT_EQ(*Decimal::fromString("0"), *Decimal::fromString("-0"));
    EXPECT_EQ(*Decimal::fromString("25e-1"), *Decimal::fromString("2.5"));
    EXPECT_FALSE(*Decimal::fromString("1") == *Decimal::fromString("-1"));
    EXPECT_FALSE(*Decimal::fromString("1") == *Decimal::fromString("10"));
    EXPECT_FALSE(*Decimal::fromString("0.1") == *Decimal::fromString("0.10000000000000001"));
}

struct DoubleCase {
    std::string input;
    double value;
};

class DecimalDouble : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DecimalDouble, GivesTheNearestDouble) {
    const double d = Decimal::fromString(GetParam().input)->toDouble();
    EXPECT_EQ(d, GetParam().value) << GetParam().input;
    EXPECT_EQ(std::signbit(d), std::signbit(GetParam().value));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Numbers, DecimalDouble, ::testing::Values(
    DoubleCase{"0", 0.0},
    DoubleCase{"-0", -0.0},
    DoubleCase{"0.1", 0.1},
    DoubleCase{"1e308", 1e308},
    DoubleCase{"1e309", std::numeric_limits<double>::infinity()},
    DoubleCase{"-1e1000000000", -std::numeric_limits<double>::infinity()},
    DoubleCase{"2.2250738585072014e-308", 2.2250738585072014e-308},
    DoubleCase{"4.9406564584124654e-324", 4.9406564584124654e-324},
    DoubleCase{"1e-400", 0.0},
    DoubleCase{"9007199254740993", 9007199254740992.0},
    DoubleCase{"123456789012345678901234567890", 1.2345678901234568e29}));
// clang-format on

}  // namespace
