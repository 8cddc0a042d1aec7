#include "TXJsonParser.h"
#include "TXJsonWriter.h"

#include <gtest/gtest.h>

#include <string>

using tx::Decimal;
using tx::JsonArray;
using tx::JsonObject;
using tx::JsonValue;
using tx::TXJsonWriter;

namespace {

std::string traceText(const tx::TXJsonBase& codec) {
    std::string out;
    if (!codec.errorTrace()) return out;
    for (const tx::JsonErrorPtr& e : *codec.errorTrace()) {
        if (!out.empty()) out += " | ";
        out += std::to_string(e->code) + ": " + e->message;
    }
    return out;
}

JsonValue number(const char* text) {
    return *Decimal::fromString(text);
}

struct WriteCase {
    JsonValue value;
    std::string compact;
    std::string pretty;
};

class WriterLayouts : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriterLayouts, CompactAndHumanReadable) {
    TXJsonWriter writer;
    EXPECT_EQ(writer.stringWithFragment(GetParam().value), GetParam().compact);
    writer.setHumanReadable(true);
    EXPECT_EQ(writer.stringWithFragment(GetParam().value), GetParam().pretty);
    EXPECT_EQ(writer.depth(), 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, WriterLayouts, ::testing::Values(
    WriteCase{JsonArray{1, 2}, "[1,2]", "[\n  1,\n  2\n]"},
    WriteCase{JsonArray{}, "[]", "[]"},
    WriteCase{JsonObject{}, "{}", "{}"},
    WriteCase{JsonObject{{"a", true}}, "{\"a\":true}", "{\n  \"a\" : true\n}"},
    WriteCase{JsonArray{true, false, nullptr, 1}, "[true,false,null,1]",
              "[\n  true,\n  false,\n  null,\n  1\n]"},
    WriteCase{JsonObject{{"b", JsonArray{JsonObject{}, JsonArray{3}}}, {"a", "x"}},
              "{\"a\":\"x\",\"b\":[{},[3]]}",
              "{\n  \"a\" : \"x\",\n  \"b\" : [\n    {},\n    [\n      3\n    ]\n  ]\n}"},
    WriteCase{JsonValue(), "null", "null"},
    WriteCase{true, "true", "true"},
    WriteCase{number("-0.25"), "-0.25", "-0.25"},
    WriteCase{number("1e100"), "1e+100", "1e+100"},
    WriteCase{"a\"b", "\"a\\\"b\"", "\"a\\\"b\""}));
// clang-format on

struct EscapeCase {
    std::string input;
    std::string written;
};

class WriterEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(WriterEscapes, EscapesWhatJsonNeeds) {
    EXPECT_EQ(TXJsonWriter().stringWithFragment(GetParam().input), GetParam().written);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Strings, WriterEscapes, ::testing::Values(
    EscapeCase{"", "\"\""},
    EscapeCase{"plain text", "\"plain text\""},
    EscapeCase{"a/b", "\"a/b\""},
    EscapeCase{"\"\\", "\"\\\"\\\\\""},
    EscapeCase{"\t\n\r\b\f", "\"\\t\\n\\r\\b\\f\""},
    EscapeCase{"\x0B", "\"\\u000b\""},
    EscapeCase{"\x1F", "\"\\u001f\""},
    EscapeCase{std::string("a\0b", 3), "\"a\\u0000b\""},
    EscapeCase{"\x7F", "\"\x7F\""},
    EscapeCase{"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
    EscapeCase{"0123456789abcdef\"0123456789abcdef\n0123456789abcdef",
               "\"0123456789abcdef\\\"0123456789abcdef\\n0123456789abcdef\""}));
// clang-format on

TEST(WriterTest, BooleansAreNotNumbers) {
    EXPECT_EQ(TXJsonWriter().stringWithObject(JsonArray{true, 1, false, 0}), "[true,1,false,0]");
}

TEST(WriterTest, SortKeysWritesAscendingByteOrder) {
    TXJsonWriter writer;
    writer.setSortKeys(true);
    const JsonObject o{{"b", 1}, {"a", 2}, {"B", 3}, {"\xC3\xA9", 4}, {"aa", 5}};
    EXPECT_EQ(writer.stringWithObject(o), "{\"B\":3,\"a\":2,\"aa\":5,\"b\":1,\"\xC3\xA9\":4}");
    writer.setSortKeys(false);
    EXPECT_EQ(writer.stringWithObject(o), "{\"B\":3,\"a\":2,\"aa\":5,\"b\":1,\"\xC3\xA9\":4}");
}

TEST(WriterTest, ObjectNeedsMapOrList) {
    TXJsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject("text").has_value());
    EXPECT_EQ(traceText(writer), "4: Not valid type for JSON");
    EXPECT_FALSE(writer.stringWithObject(JsonValue()).has_value());
    EXPECT_EQ(traceText(writer), "4: Not valid type for JSON");
    EXPECT_EQ(writer.stringWithFragment("text"), "\"text\"");
    EXPECT_FALSE(writer.errorTrace().has_value());
}

JsonValue nestedArrays(int levels) {
    JsonValue v = JsonArray{};
    for (int i = 1; i < levels; ++i) v = JsonArray{std::move(v)};
    return v;
}

TEST(WriterTest, DepthLimit) {
    TXJsonWriter writer;
    EXPECT_EQ(writer.maxDepth(), 512u);
    const std::optional<std::string> ok = writer.stringWithObject(nestedArrays(512));
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->size(), 1024u);
    EXPECT_FALSE(writer.stringWithObject(nestedArrays(513)).has_value());
    EXPECT_EQ(traceText(writer), "7: Nested too deep");
    writer.setMaxDepth(0);
    EXPECT_TRUE(writer.stringWithObject(nestedArrays(513)).has_value());
}

TEST(WriterTest, DepthErrorNamesEveryEnclosingKey) {
    TXJsonWriter writer;
    writer.setMaxDepth(3);
    const JsonValue v = JsonObject{{"outer", JsonArray{JsonObject{{"inner", JsonArray{}}}}}};
    EXPECT_FALSE(writer.stringWithObject(v).has_value());
    EXPECT_EQ(traceText(writer),
              "7: Nested too deep | 1: Unsupported value for key inner in object | 1: Unsupported "
              "value for key outer in object");
    const tx::JsonErrorTrace& trace = *writer.errorTrace();
    EXPECT_EQ(trace[2]->underlying, trace[1]);
    EXPECT_EQ(trace[1]->underlying, trace[0]);
    // A failed write leaves no partial text and the next write starts afresh.
    writer.setMaxDepth(4);
    EXPECT_EQ(writer.stringWithObject(v), "{\"outer\":[{\"inner\":[]}]}");
    EXPECT_FALSE(writer.errorTrace().has_value());
}

TEST(WriterTest, IndentFollowsDepth) {
    TXJsonWriter writer;
    EXPECT_EQ(writer.indent(), "\n");
    writer.setHumanReadable(true);
    writer.setMaxDepth(0);  // layout does not depend on the limit
    EXPECT_EQ(writer.stringWithObject(JsonArray{JsonArray{1}}), "[\n  [\n    1\n  ]\n]");
}

// Parse, write, parse again: both layouts give back the same tree, and
// writing the second tree gives the same text.
class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, ParseWriteParse) {
    tx::TXJsonParser parser;
    const std::optional<JsonValue> first = parser.fragmentWithString(GetParam());
    ASSERT_TRUE(first.has_value());
    for (bool pretty : {false, true}) {
        TXJsonWriter writer;
        writer.setHumanReadable(pretty);
        const std::optional<std::string> text = writer.stringWithFragment(*first);
        ASSERT_TRUE(text.has_value());
        const std::optional<JsonValue> second = parser.fragmentWithString(*text);
        ASSERT_TRUE(second.has_value()) << *text;
        EXPECT_EQ(*second, *first);
        EXPECT_EQ(writer.stringWithFragment(*second), text);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Documents, RoundTrip, ::testing::Values(
    R"([{"name":"Gate","uri":"/cameras/0","image-uri":"/cameras/0/image","ptz":{"menu":{"show-uri":"/m"}}}])",
    R"({"a":[1,-2.5e-7,3e+40,0.1,-0,12345678901234567890123456789012345678],"b":{"c":[[],{}]}})",
    R"(["\u0000\u001f\"\\\/\b\f\n\r\t","\u00e9\uD83D\uDE00","\u2028"])",
    R"("just a string")",
    R"([true,false,null,{"":""}])"));
// clang-format on

}  // namespace
