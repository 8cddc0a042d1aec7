#include "TXJSON.h"
#include "TXJsonConvenience.h"

#include <gtest/gtest.h>

#include <string>

using tx::JsonArray;
using tx::JsonErrorPtr;
using tx::JsonValue;
using tx::TXJSON;

namespace {

TEST(TXJSONTest, ReportsLastErrorAndKeepsTheParsersTrace) {
    TXJSON json;
    JsonErrorPtr error;
    EXPECT_FALSE(json.objectWithString("[\"\\u12x4\"]", &error).has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 3u);
    EXPECT_EQ(error->message, "Expected value while parsing array");
    ASSERT_TRUE(json.errorTrace().has_value());
    EXPECT_EQ(json.errorTrace()->size(), 4u);
    EXPECT_EQ(json.errorTrace()->back(), error);
    EXPECT_EQ(json.errorTrace()->front()->message, "Missing hex digit in quad");
    EXPECT_EQ(*json.errorTrace(), *json.jsonParser().errorTrace());
}

TEST(TXJSONTest, SuccessLeavesErrorAndTraceUntouched) {
    TXJSON json;
    JsonErrorPtr error;
    ASSERT_FALSE(json.objectWithString("[1,]", &error).has_value());
    const JsonErrorPtr failure = error;
    ASSERT_TRUE(failure);
    const std::optional<JsonValue> v = json.objectWithString("[1,2]", &error);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, JsonValue(JsonArray{1, 2}));
    EXPECT_EQ(error, failure);  // untouched, not cleared
    ASSERT_TRUE(json.errorTrace().has_value());
    EXPECT_EQ(json.errorTrace()->back(), failure);
    EXPECT_FALSE(json.jsonParser().errorTrace().has_value());
}

TEST(TXJSONTest, ObjectAndFragmentEntryPoints) {
    TXJSON json;
    JsonErrorPtr error;
    EXPECT_FALSE(json.objectWithString("1", &error).has_value());
    EXPECT_EQ(error->code, 4u);
    EXPECT_EQ(error->message, "Valid fragment, but not JSON");
    EXPECT_EQ(json.fragmentWithString("1", &error), JsonValue(1));
    EXPECT_EQ(json.objectWithString(std::string("1"), true, nullptr), JsonValue(1));
    EXPECT_FALSE(json.objectWithString(nullptr, &error).has_value());
    EXPECT_EQ(error->code, 12u);
    EXPECT_EQ(error->message, "Input was 'nil'");
    EXPECT_FALSE(json.fragmentWithString("[", nullptr).has_value());  // no out-parameter
    EXPECT_EQ(json.lastError()->message, "End of input while parsing array");
}

TEST(TXJSONTest, WriterSideForwards) {
    TXJSON json;
    JsonErrorPtr error;
    EXPECT_FALSE(json.stringWithObject("s", &error).has_value());
    EXPECT_EQ(error->code, 4u);
    EXPECT_EQ(error->message, "Not valid type for JSON");
    EXPECT_EQ(json.stringWithFragment("s", &error), "\"s\"");
    EXPECT_EQ(json.stringWithObject(JsonValue(JsonArray{1}), true, nullptr), "[1]");
    json.setHumanReadable(true);
    json.setSortKeys(true);
    EXPECT_TRUE(json.humanReadable());
    EXPECT_TRUE(json.sortKeys());
    EXPECT_EQ(json.stringWithObject(JsonArray{1}), "[\n  1\n]");
}

TEST(TXJSONTest, MaxDepthSetsParserAndWriter) {
    TXJSON json;
    EXPECT_EQ(json.maxDepth(), 512u);
    json.setMaxDepth(1);
    EXPECT_EQ(json.jsonParser().maxDepth(), 1u);
    EXPECT_EQ(json.jsonWriter().maxDepth(), 1u);
    JsonErrorPtr error;
    EXPECT_FALSE(json.objectWithString("[[]]", &error).has_value());
    EXPECT_EQ(json.errorTrace()->front()->message, "Nested too deep");
    EXPECT_FALSE(json.stringWithObject(JsonArray{JsonArray{}}, &error).has_value());
    EXPECT_EQ(error->message, "Nested too deep");
    json.setMaxDepth(0);
    EXPECT_TRUE(json.objectWithString("[[[[]]]]", &error).has_value());
}

TEST(TXJSONTest, ObserverHearsTheCopiedTrace) {
    TXJSON json;
    int calls = 0;
    json.setErrorTraceObserver([&calls](const tx::TXJsonBase&) { ++calls; });
    json.objectWithString("[1,]");
    EXPECT_EQ(calls, 1);
    json.objectWithString("[1]");
    EXPECT_EQ(calls, 1);
}

TEST(ConvenienceTest, ParseAndWriteWithoutTrace) {
    EXPECT_EQ(tx::JSONValue("[1]"), JsonValue(JsonArray{1}));
    EXPECT_FALSE(tx::JSONValue("1").has_value());
    EXPECT_EQ(tx::JSONFragmentValue("1"), JsonValue(1));
    EXPECT_FALSE(tx::JSONFragmentValue("[1,]").has_value());
    EXPECT_EQ(tx::JSONRepresentation(JsonArray{"a"}), "[\"a\"]");
    EXPECT_FALSE(tx::JSONRepresentation(JsonValue(true)).has_value());
    EXPECT_EQ(tx::JSONFragment(JsonValue(true)), "true");
}

}  // namespace
