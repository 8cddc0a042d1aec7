// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON codec: the parser's grammar and error traces, exact decimal
// numbers, the writer's layouts and limits, and the TXJSON facade.

#include "TXJSON.h"
#include "TXJsonConvenience.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tx;

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

// The trace as "code: message" entries joined by " | ", oldest first.
std::string traceText(const tx::TXJsonBase& codec) {
    std::string out;
    for (const tx::JsonErrorPtr& e : codec.errorTrace().value_or(tx::JsonErrorTrace{}))
        out += (out.empty() ? "" : " | ") + std::to_string(e->code) + ": " + e->message;
    return out;
}

std::string repeat(const std::string& s, std::size_t n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

// Each input: the compact text of what it parses to, or its error trace
// (innermost error first). One case per error path of each grammar rule;
// numbers are exact decimals of at most 38 significant digits.
TEST(ParserTest, OutcomeOfEachInput) {
    // clang-format off
    const Cases cases = {
        {"", "11: Unexpected end of string"},
        {"[1] x", "10: Garbage after JSON"},
        {"tru", "3: Expected 'true'"},
        {"\xEF\xBB\xBF[]", "3: Unrecognised leading character"},
        {"[", "11: End of input while parsing array"},
        // A blank after the bracket reaches the value scan before the end.
        {"[ ", "11: Unexpected end of string | 3: Expected value while parsing array"},
        {"{", "11: End of input while parsing object"},
        {"{ ", "3: Object key string expected"},
        {"[1,]", "9: Trailing comma disallowed in array"},
        {"[,1]", "3: Unrecognised leading character | 3: Expected value while parsing array"},
        {"{\"a\" 1}", "3: Expected ':' separating key and value"},
        {"{\"a\":}", "3: Unrecognised leading character | 3: Object value expected for key: a"},
        {"{\"a\":1,}", "9: Trailing comma disallowed in object"},
        {"{\"a", "5: Unescaped control character '0x0' | 3: Object key string expected"},
        {"{\"k\":[{\"x\":[1,]}]}", "9: Trailing comma disallowed in array | 3: Object value expected for key: x"
                                 " | 3: Expected value while parsing array | 3: Object value expected for key: k"},
        {"\"a\tb\"", "5: Unescaped control character '0x9'"},
        {"\"\\n", "11: Unexpected EOF while parsing string"},
        {"\"\\x\"", "8: Illegal escape sequence '0x78'"},
        {"\"\\u12", "6: Missing hex digit in quad | 6: Missing hex quad | 6: Broken unicode character"},
        {" \t\r\n[true,false,null,{},[]]\n ", "[true,false,null,{},[]]"},
        // The writer escapes only what JSON needs: not the slash, DEL or UTF-8.
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u000B\\u001f\\u0000\x7F\\u00E9\\u20ac\xE6\x97\xA5\"",
         "\"\\\"\\\\/\\b\\f\\n\\r\\t\\u000b\\u001f\\u0000\x7F\xC3\xA9\xE2\x82\xAC\xE6\x97\xA5\""},
        // Escapes on both sides of the 16-byte blocks the scanners work in.
        {"\"0123456789abcdef\\\"0123456789abcde\\u00e9\"", "\"0123456789abcdef\\\"0123456789abcde\xC3\xA9\""},
        // Bytes that are not UTF-8 become U+FFFD, one per maximal bad sequence.
        {"\"a\xFF\xED\xA0\x80\"", "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        // VT and FF are whitespace (the corpus test owns the other leniencies).
        {"\v[\f1\v,\f2]\f", "[1,2]"},
        {std::string("\"a\0b\"", 5), "5: Unescaped control character '0x0'"},
        // Surrogate pairs
        {"\"\\uD83D\\uDE00\\uDBFF\\uDFFF\"", "\"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
        {"\"\\uD800x\"", "6: Missing low character in surrogate pair | 6: Broken unicode character"},
        {"\"\\uDFFF\"", "6: Invalid high character in surrogate pair | 6: Broken unicode character"},
        {"\"\\uD800\\u0041\"", "6: Invalid low surrogate char | 6: Broken unicode character"},
        {"[-0,0,1E5,1e-5,1.50,1.0e2,100E-2,0e999999999999999999999]", "[-0,0,100000,0.00001,1.5,100,1,0]"},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
        {"1234567890123456789012345678901234567800000", "1.2345678901234567890123456789012345678e+42"},
        {"[1234567890123456789,12345678901234567890,9999999999999999999.5]",
         "[1234567890123456789,12345678901234567890,9999999999999999999.5]"},
        {"123456789012345678901234567890123456789", "2: Failed creating decimal instance"},
        {"+1", "2: Leading + disallowed in number"},
        {"-", "2: No digits after initial minus"},
        {"01", "2: Leading 0 disallowed in number"},
        {"1.", "2: No digits after decimal point"},
        {"1e+", "2: No digits after exponent"},
    };
    EXPECT_NE(*Decimal::fromString("0.1"), *Decimal::fromString("0.10000000000000001"));
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> toInt64 = {
        {"9223372036854775807", INT64_MAX}, {"9223372036854775808", {}}, {"0.5", {}},
        {"-9223372036854775808", INT64_MIN}, {"-9223372036854775809", {}}, {"1.5e1", 15}};
    // clang-format on
    for (const auto& [input, expected] : cases) {
        TXJsonParser parser;
        const std::optional<JsonValue> v = parser.fragmentWithString(input);
        EXPECT_EQ(v ? tx::JSONFragment(*v).value_or("?") : traceText(parser), expected) << input;
    }
    for (const auto& [text, value] : toInt64)
        EXPECT_EQ(Decimal::fromString(text)->toInt64(), value) << text;
    TXJsonParser parser;  // no input at all
    EXPECT_FALSE(parser.objectWithString(static_cast<const std::string*>(nullptr)));
    EXPECT_EQ(traceText(parser), "12: Input was 'nil'");
    // The facade hands a failed run's last error, with its chain of underlying
    // errors, to the out-parameter and leaves it alone on success, so a caller
    // may keep one error variable.
    tx::TXJSON json;
    tx::JsonErrorPtr error;
    EXPECT_FALSE(json.objectWithString("[\"\\u12x4\"]", &error));
    const tx::JsonErrorPtr failure = error;
    EXPECT_TRUE(error == json.errorTrace()->back() &&
                error->underlying == json.errorTrace()->at(2));
    EXPECT_EQ(json.objectWithString("[1,2]", &error), JsonValue(JsonArray{1, 2}));
    EXPECT_EQ(error, failure);
    EXPECT_FALSE(json.jsonParser().errorTrace().has_value());  // each run starts afresh
}

TEST(ParserTest, DepthLimitIs512AndNoLimitSurvivesVeryDeepInput) {
    TXJsonParser parser;
    EXPECT_TRUE(parser.objectWithString(repeat("[", 512) + repeat("]", 512)));
    EXPECT_TRUE(parser.objectWithString(repeat("{\"k\":", 512) + "1" + repeat("}", 512)));
    EXPECT_FALSE(parser.objectWithString(repeat("{\"k\":", 513) + "1" + repeat("}", 513)));
    EXPECT_EQ(parser.lastError()->message, "Object value expected for key: k");
    EXPECT_FALSE(parser.objectWithString(repeat("[", 513) + repeat("]", 513)));
    ASSERT_EQ(parser.errorTrace()->size(), 513u);
    EXPECT_EQ(parser.errorTrace()->front()->message, "Nested too deep");

    // Without a limit, deeper than a call stack allows with one frame a
    // level: parsing, writing and dropping the tree or a failed run's error
    // chain must not recurse.
    const std::size_t levels = 200'000;
    parser.setMaxDepth(0);
    TXJsonWriter writer;
    writer.setMaxDepth(0);
    const std::optional<JsonValue> v =
        parser.objectWithString(repeat("[", levels) + repeat("]", levels));
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(writer.stringWithObject(*v)->size(), 2 * levels);
    EXPECT_FALSE(parser.objectWithString(repeat("[", levels)));
    EXPECT_EQ(parser.errorTrace()->size(), levels);  // one error a level
    tx::JsonErrorPtr last = parser.lastError();
    EXPECT_TRUE(parser.fragmentWithString("1"));
    EXPECT_EQ(last.use_count(), 1);
}

TEST(WriterTest, LayoutsSortedKeysAndDepthLimit) {
    // clang-format off
    const Cases cases = {
        {"[]", "[]"}, {"{}", "{}"},
        {"[true,false,null,1]", "[\n  true,\n  false,\n  null,\n  1\n]"},
        {"{\"b\":[{},[3]],\"a\":\"x\"}", "{\n  \"a\" : \"x\",\n  \"b\" : [\n    {},\n    [\n      3\n    ]\n  ]\n}"},
    };
    // clang-format on
    TXJsonWriter writer;
    writer.setHumanReadable(true);
    for (const auto& [input, written] : cases)
        EXPECT_EQ(writer.stringWithObject(*TXJsonParser().objectWithString(input)), written);
    writer.setHumanReadable(false);
    writer.setSortKeys(true);
    const JsonObject o{{"b", 1}, {"a", 2}, {"B", 3}, {"\xC3\xA9", 4}, {"aa", 5}};
    EXPECT_EQ(writer.stringWithObject(o), "{\"B\":3,\"a\":2,\"aa\":5,\"b\":1,\"\xC3\xA9\":4}");

    // The depth limit is 512, and the error names the enclosing keys.
    JsonValue v = JsonArray{};
    for (int i = 1; i < 512; ++i) v = JsonArray{std::move(v)};
    EXPECT_EQ(writer.stringWithObject(v)->size(), 1024u);
    EXPECT_FALSE(writer.stringWithObject(JsonArray{v}));
    EXPECT_EQ(traceText(writer), "7: Nested too deep");
    writer.setMaxDepth(2);
    EXPECT_FALSE(writer.stringWithObject(JsonObject{{"k", JsonArray{JsonArray{}}}}));
    EXPECT_EQ(traceText(writer), "7: Nested too deep | 1: Unsupported value for key k in object");
    // Only an array or an object is a JSON text; any value is a fragment.
    for (const JsonValue& scalar : {JsonValue("s"), JsonValue(true), JsonValue()}) {
        EXPECT_FALSE(writer.stringWithObject(scalar));
        EXPECT_EQ(traceText(writer), "4: Not valid type for JSON");
        EXPECT_TRUE(writer.stringWithFragment(scalar));
    }
}

}  // namespace
