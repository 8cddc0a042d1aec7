#include "TXJsonParser.h"
#include "TXJsonWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tx::JsonArray;
using tx::JsonObject;
using tx::JsonValue;
using tx::TXJsonParser;

namespace {

// The trace as "code: message" entries joined by " | ", oldest first.
std::string traceText(const tx::TXJsonBase& codec) {
    std::string out;
    if (!codec.errorTrace()) return out;
    for (const tx::JsonErrorPtr& e : *codec.errorTrace()) {
        if (!out.empty()) out += " | ";
        out += std::to_string(e->code) + ": " + e->message;
    }
    return out;
}

std::string compact(const JsonValue& v) {
    tx::TXJsonWriter writer;
    writer.setMaxDepth(0);
    return writer.stringWithFragment(v).value_or("<write failed>");
}

struct ErrorCase {
    std::string input;
    std::string trace;
};

class ParserErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParserErrors, TraceIsInnermostFirst) {
    TXJsonParser parser;
    EXPECT_FALSE(parser.fragmentWithString(GetParam().input).has_value());
    EXPECT_EQ(traceText(parser), GetParam().trace);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Grammar, ParserErrors, ::testing::Values(
    // Top level and literals
    ErrorCase{"", "11: Unexpected end of string"},
    ErrorCase{"   ", "11: Unexpected end of string"},
    ErrorCase{"[1] x", "10: Garbage after JSON"},
    ErrorCase{"trueX", "10: Garbage after JSON"},
    ErrorCase{"12abc", "10: Garbage after JSON"},
    ErrorCase{"[trueX]", "3: Unrecognised leading character | 3: Expected value while parsing array"},
    ErrorCase{"tru", "3: Expected 'true'"},
    ErrorCase{"fals", "3: Expected 'false'"},
    ErrorCase{"nul", "3: Expected 'null'"},
    ErrorCase{"True", "3: Unrecognised leading character"},
    ErrorCase{"'a'", "3: Unrecognised leading character"},
    ErrorCase{"\xEF\xBB\xBF[]", "3: Unrecognised leading character"},
    // Numbers
    ErrorCase{"+1", "2: Leading + disallowed in number"},
    ErrorCase{"-", "2: No digits after initial minus"},
    ErrorCase{"-a", "2: No digits after initial minus"},
    ErrorCase{"01", "2: Leading 0 disallowed in number"},
    ErrorCase{"-01", "2: Leading 0 disallowed in number"},
    ErrorCase{"1.", "2: No digits after decimal point"},
    ErrorCase{"1.e5", "2: No digits after decimal point"},
    ErrorCase{"1e", "2: No digits after exponent"},
    ErrorCase{"1e+", "2: No digits after exponent"},
    ErrorCase{".5", "3: Unrecognised leading character"},
    ErrorCase{"123456789012345678901234567890123456789", "2: Failed creating decimal instance"},
    ErrorCase{"1e1000000001", "2: Failed creating decimal instance"},
    ErrorCase{"[1e-1000000001]", "2: Failed creating decimal instance | 3: Expected value while parsing array"},
    // Arrays
    ErrorCase{"[", "11: End of input while parsing array"},
    ErrorCase{"[1,", "11: End of input while parsing array"},
    ErrorCase{"[1 ", "11: End of input while parsing array"},
    ErrorCase{"[ ", "11: Unexpected end of string | 3: Expected value while parsing array"},
    ErrorCase{"[1,]", "9: Trailing comma disallowed in array"},
    ErrorCase{"[1 , \n]", "9: Trailing comma disallowed in array"},
    ErrorCase{"[,1]", "3: Unrecognised leading character | 3: Expected value while parsing array"},
    ErrorCase{"[1,,2]", "3: Unrecognised leading character | 3: Expected value while parsing array"},
    ErrorCase{"[1}", "3: Unrecognised leading character | 3: Expected value while parsing array"},
    ErrorCase{"[[[1,]]]", "9: Trailing comma disallowed in array | 3: Expected value while parsing array"
                          " | 3: Expected value while parsing array"},
    // Objects
    ErrorCase{"{", "11: End of input while parsing object"},
    ErrorCase{"{ ", "3: Object key string expected"},
    ErrorCase{"{1:2}", "3: Object key string expected"},
    ErrorCase{"{\"a\" 1}", "3: Expected ':' separating key and value"},
    ErrorCase{"{\"a\":}", "3: Unrecognised leading character | 3: Object value expected for key: a"},
    ErrorCase{"{\"a\":1,}", "9: Trailing comma disallowed in object"},
    ErrorCase{"{\"a\":1", "11: End of input while parsing object"},
    ErrorCase{"{\"a", "5: Unescaped control character '0x0' | 3: Object key string expected"},
    ErrorCase{"{\"\\q\":1}", "8: Illegal escape sequence '0x71' | 3: Object key string expected"},
    ErrorCase{"{\"k\":[{\"x\":[1,]}]}", "9: Trailing comma disallowed in array | 3: Object value expected for key: x"
                                        " | 3: Expected value while parsing array | 3: Object value expected for key: k"},
    ErrorCase{"[{\"a\":1},{\"b\"}]", "3: Expected ':' separating key and value | 3: Expected value while parsing array"},
    // Strings
    ErrorCase{"\"abc", "5: Unescaped control character '0x0'"},
    ErrorCase{"\"a\tb\"", "5: Unescaped control character '0x9'"},
    ErrorCase{"\"a\x1f\"", "5: Unescaped control character '0x1f'"},
    ErrorCase{"\"\\n", "11: Unexpected EOF while parsing string"},
    ErrorCase{"\"\\", "8: Illegal escape sequence '0x0'"},
    ErrorCase{"\"\\x\"", "8: Illegal escape sequence '0x78'"},
    ErrorCase{"\"\\'\"", "8: Illegal escape sequence '0x27'"},
    ErrorCase{"\"\\\xC3\xA9\"", "8: Illegal escape sequence '0xc3'"},
    ErrorCase{"[\"\\u12x4\"]", "6: Missing hex digit in quad | 6: Missing hex quad | 6: Broken unicode character"
                               " | 3: Expected value while parsing array"},
    ErrorCase{"\"\\u12", "6: Missing hex digit in quad | 6: Missing hex quad | 6: Broken unicode character"},
    ErrorCase{"\"\\uDFFF\"", "6: Invalid high character in surrogate pair | 6: Broken unicode character"},
    ErrorCase{"\"\\uD800x\"", "6: Missing low character in surrogate pair | 6: Broken unicode character"},
    ErrorCase{"\"\\uD800\\n\"", "6: Missing low character in surrogate pair | 6: Broken unicode character"},
    ErrorCase{"\"\\uD800\\u00", "6: Missing hex digit in quad | 6: Missing low character in surrogate pair"
                                " | 6: Broken unicode character"},
    ErrorCase{"\"\\uD800\\u0041\"", "6: Invalid low surrogate char | 6: Broken unicode character"},
    ErrorCase{"\"\\uD800\\uD800\"", "6: Invalid low surrogate char | 6: Broken unicode character"}));
// clang-format on

struct ValueCase {
    std::string input;
    std::string written;  // compact text of the result
};

class ParserValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ParserValues, ParsesTo) {
    TXJsonParser parser;
    const std::optional<JsonValue> v = parser.fragmentWithString(GetParam().input);
    ASSERT_TRUE(v.has_value()) << traceText(parser);
    EXPECT_EQ(compact(*v), GetParam().written);
    EXPECT_FALSE(parser.errorTrace().has_value());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Grammar, ParserValues, ::testing::Values(
    ValueCase{"{}", "{}"},
    ValueCase{"[]", "[]"},
    ValueCase{"[ 1 , 2 ]", "[1,2]"},
    ValueCase{" \t\r\n[1]\n ", "[1]"},
    ValueCase{"true", "true"},
    ValueCase{"[true,false,null]", "[true,false,null]"},
    // Kept leniencies: commas are optional; VT and FF are whitespace; the
    // input ends at its first NUL byte.
    ValueCase{"[1 2]", "[1,2]"},
    ValueCase{"[3[4]]", "[3,[4]]"},
    ValueCase{"{\"a\":1 \"b\":2}", "{\"a\":1,\"b\":2}"},
    ValueCase{"\v[\f1\v,\f2]\f", "[1,2]"},
    ValueCase{std::string("[1]\0garbage", 11), "[1]"},
    // Duplicate keys: the later value wins.
    ValueCase{"{\"a\":1,\"a\":2}", "{\"a\":2}"},
    ValueCase{"{\"a\":[1,[2]],\"a\":{}}", "{\"a\":{}}"},
    // Numbers
    ValueCase{"-0", "-0"},
    ValueCase{"0", "0"},
    ValueCase{"1E5", "100000"},
    ValueCase{"1e-5", "0.00001"},
    ValueCase{"0.5", "0.5"},
    ValueCase{"[-0,1E5,1e-5,0.5]", "[-0,100000,0.00001,0.5]"},
    ValueCase{"1.50", "1.5"},
    ValueCase{"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
    ValueCase{"1234567890123456789012345678901234567800000", "1.2345678901234567890123456789012345678e+42"},
    ValueCase{"0.000000000000000000000000000000000000000000001", "1e-45"},
    ValueCase{"0e999999999999999999999", "0"},
    // 19 significant digits and fewer take a shorter path than longer ones.
    ValueCase{"[1234567890123456789,12345678901234567890]", "[1234567890123456789,12345678901234567890]"},
    ValueCase{"[10000000000000000000,9999999999999999999.5]", "[10000000000000000000,9999999999999999999.5]"},
    ValueCase{"-0.000000000000000000001234567890123456789012", "-1.234567890123456789012e-21"},
    ValueCase{"[1.0e2,100E-2,0.0]", "[100,1,0]"},
    // Strings and escapes
    ValueCase{"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\/\\b\\f\\n\\r\\t\""},
    ValueCase{"\"\\u00e9\"", "\"\xC3\xA9\""},
    ValueCase{"\"\\u00E9\"", "\"\xC3\xA9\""},
    ValueCase{"\"\\u20AC\"", "\"\xE2\x82\xAC\""},
    ValueCase{"\"\\uD83D\\uDE00\"", "\"\xF0\x9F\x98\x80\""},
    ValueCase{"\"\\uD800\\uDFFF\"", "\"\xF0\x90\x8F\xBF\""},
    ValueCase{"\"\\uDBFF\\uDFFF\"", "\"\xF4\x8F\xBF\xBF\""},
    ValueCase{"\"a\\u0000b\"", "\"a\\u0000b\""},
    ValueCase{"\"\xE6\x97\xA5\xE6\x9C\xAC\"", "\"\xE6\x97\xA5\xE6\x9C\xAC\""},
    // Bytes that are not UTF-8 become U+FFFD, one per maximal bad sequence.
    ValueCase{"\"a\xFF" "b\"", "\"a\xEF\xBF\xBD" "b\""},
    ValueCase{"\"\xC3\"", "\"\xEF\xBF\xBD\""},
    ValueCase{"\"\xE2\x82\"", "\"\xEF\xBF\xBD\""},
    ValueCase{"\"\xED\xA0\x80\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    ValueCase{"\"\xC0\xAF\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    ValueCase{"\"\xF4\x90\x80\x80\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    ValueCase{"{\"k\xFF\":1}", "{\"k\xEF\xBF\xBD\":1}"},
    ValueCase{"{\"a\\nb\":1}", "{\"a\\nb\":1}"}));
// clang-format on

TEST(ParserValuesTest, EmbeddedNulEndsTheInsideOfAString) {
    // The NUL ends the input inside the string: no closing quote.
    TXJsonParser parser;
    EXPECT_FALSE(parser.fragmentWithString(std::string("\"a\0b\"", 5)).has_value());
    EXPECT_EQ(traceText(parser), "5: Unescaped control character '0x0'");
}

TEST(ParserValuesTest, BuildsTheExpectedTree) {
    const std::string text =
        R"({"name":"Gate","ptz":{"zoom":{"relative-uri":"/z"}},"n":[1,-2.5,true,null,"x"]})";
    JsonObject zoom{{"relative-uri", "/z"}};
    JsonObject expected{{"name", "Gate"},
                        {"ptz", JsonObject{{"zoom", zoom}}},
                        {"n", JsonArray{1, *tx::Decimal::fromString("-2.5"), true, nullptr, "x"}}};
    const std::optional<JsonValue> v = TXJsonParser().objectWithString(text);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, JsonValue(expected));
    EXPECT_TRUE(v->find("n")->asArray()[2].isBool());
    EXPECT_TRUE(v->find("n")->asArray()[0].isNumber());
    EXPECT_EQ(*v->find("ptz")->find("zoom")->findString("relative-uri"), "/z");
}

TEST(ParserValuesTest, DuplicateKeyInLargeObject) {
    std::string text = "{";
    for (int i = 0; i < 20; ++i)
        text += "\"k" + std::to_string(100 + i) + "\":" + std::to_string(i) + ",";
    text += "\"k100\":\"last\",\"k119\":[]}";
    const std::optional<JsonValue> v = TXJsonParser().objectWithString(text);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->asObject().size(), 20u);
    EXPECT_EQ(*v->findString("k100"), "last");
    EXPECT_TRUE(v->find("k119")->isArray());
    EXPECT_EQ(*v->find("k110"), JsonValue(10));
}

TEST(ParserValuesTest, StringsMayHoldNul) {
    const std::optional<JsonValue> v = TXJsonParser().fragmentWithString("\"a\\u0000b\"");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->asString(), std::string("a\0b", 3));
}

TEST(ParserValuesTest, LongStringsWithEscapesAcrossScanBlocks) {
    // Escapes and multibyte characters at every offset of a 16-byte block.
    std::string text = "\"";
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        text += std::string(static_cast<std::size_t>(i % 17), 'x') + "\\n\xC3\xA9";
        expected += std::string(static_cast<std::size_t>(i % 17), 'x') + "\n\xC3\xA9";
    }
    text += "\"";
    const std::optional<JsonValue> v = TXJsonParser().fragmentWithString(text);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->asString(), expected);
}

TEST(ParserObjectTest, ScalarDocumentIsNotAnObject) {
    TXJsonParser parser;
    EXPECT_FALSE(parser.objectWithString("1").has_value());
    EXPECT_EQ(traceText(parser), "4: Valid fragment, but not JSON");
    EXPECT_TRUE(parser.fragmentWithString("1").has_value());
    EXPECT_FALSE(parser.errorTrace().has_value());
    EXPECT_FALSE(parser.objectWithString("\"s\"").has_value());
    EXPECT_TRUE(parser.objectWithString("[]").has_value());
}

TEST(ParserObjectTest, AbsentInputFailsWithError12) {
    TXJsonParser parser;
    EXPECT_FALSE(parser.fragmentWithString(nullptr).has_value());
    EXPECT_EQ(traceText(parser), "12: Input was 'nil'");
}

TEST(ParserTraceTest, UnderlyingErrorsChainBackToTheFirst) {
    TXJsonParser parser;
    ASSERT_FALSE(parser.fragmentWithString("[\"\\u12x4\"]").has_value());
    const tx::JsonErrorTrace& trace = *parser.errorTrace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0]->underlying, nullptr);
    for (std::size_t i = 1; i < trace.size(); ++i) EXPECT_EQ(trace[i]->underlying, trace[i - 1]);
    for (const tx::JsonErrorPtr& e : trace) EXPECT_EQ(e->domain, "org.morvatek.JSON.ErrorDomain");
    EXPECT_EQ(parser.lastError(), trace.back());
}

TEST(ParserTraceTest, EachRunStartsAFreshTraceAndObserverHearsChanges) {
    TXJsonParser parser;
    std::vector<std::size_t> seen;
    parser.setErrorTraceObserver([&seen](const tx::TXJsonBase& b) {
        seen.push_back(b.errorTrace() ? b.errorTrace()->size() : 0);
    });
    ASSERT_FALSE(parser.fragmentWithString("[").has_value());
    ASSERT_FALSE(parser.fragmentWithString("[,").has_value());
    EXPECT_EQ(traceText(parser),
              "3: Unrecognised leading character | 3: Expected value while parsing array");
    EXPECT_TRUE(parser.fragmentWithString("[]").has_value());
    EXPECT_FALSE(parser.errorTrace().has_value());
    // clear, add; clear, add, add; clear
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 0, 1, 2, 0}));
}

std::string nested(std::size_t levels, const std::string& open, const std::string& inner,
                   const std::string& close) {
    std::string s;
    for (std::size_t i = 0; i < levels; ++i) s += open;
    s += inner;
    for (std::size_t i = 0; i < levels; ++i) s += close;
    return s;
}

TEST(ParserDepthTest, LimitIs512ByDefault) {
    TXJsonParser parser;
    EXPECT_EQ(parser.maxDepth(), 512u);
    EXPECT_TRUE(parser.objectWithString(nested(512, "[", "", "]")).has_value());
    EXPECT_TRUE(parser.objectWithString(nested(512, "{\"k\":", "1", "}")).has_value());
    EXPECT_FALSE(parser.objectWithString(nested(513, "[", "", "]")).has_value());
    const tx::JsonErrorTrace& trace = *parser.errorTrace();
    ASSERT_EQ(trace.size(), 513u);
    EXPECT_EQ(trace.front()->code, 7u);
    EXPECT_EQ(trace.front()->message, "Nested too deep");
    EXPECT_EQ(trace.back()->message, "Expected value while parsing array");
    EXPECT_FALSE(parser.objectWithString(nested(513, "{\"k\":", "1", "}")).has_value());
    EXPECT_EQ(parser.errorTrace()->front()->code, 7u);
    EXPECT_EQ(parser.errorTrace()->back()->message, "Object value expected for key: k");
}

TEST(ParserDepthTest, SmallerLimitAndDepthAfterRun) {
    TXJsonParser parser;
    parser.setMaxDepth(2);
    EXPECT_TRUE(parser.fragmentWithString("[[1],{\"a\":1}]").has_value());
    EXPECT_EQ(parser.depth(), 0u);
    EXPECT_FALSE(parser.fragmentWithString("[[[]]]").has_value());
    EXPECT_EQ(
        traceText(parser),
        "7: Nested too deep | 3: Expected value while parsing array | 3: Expected value while "
        "parsing array");
}

TEST(ParserDepthTest, NoLimitSurvivesVeryDeepInput) {
    // Deeper than any call stack would allow with one frame per level; the
    // tree must also be taken apart without recursion.
    const std::size_t levels = 200'000;
    TXJsonParser parser;
    parser.setMaxDepth(0);
    {
        std::optional<JsonValue> v = parser.objectWithString(nested(levels, "[", "", "]"));
        ASSERT_TRUE(v.has_value());
        std::size_t depth = 0;
        for (const JsonValue* p = &*v; !p->asArray().empty(); p = &p->asArray()[0]) ++depth;
        EXPECT_EQ(depth, levels - 1);
        tx::TXJsonWriter writer;
        writer.setMaxDepth(0);
        const std::optional<std::string> text = writer.stringWithObject(*v);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->size(), 2 * levels);
    }
    // Unclosed: the partial tree is dropped and every level adds its error.
    EXPECT_FALSE(parser.objectWithString(nested(levels / 2, "[{\"k\":", "", "")).has_value());
    EXPECT_EQ(parser.errorTrace()->size(), levels + 1);
    EXPECT_EQ(parser.errorTrace()->front()->message, "Unexpected end of string");
    // The caller may keep the last error alone; dropping its long chain of
    // underlying errors must not recurse either.
    tx::JsonErrorPtr last = parser.lastError();
    EXPECT_TRUE(parser.fragmentWithString("1").has_value());
    EXPECT_EQ(last.use_count(), 1);
    last.reset();
}

}  // namespace
