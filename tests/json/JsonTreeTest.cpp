// SPDX-License-Identifier: GPL-3.0-or-later
// The value tree: object members kept sorted for lookup and writing,
// duplicate keys, and parsed trees whose containers live in an arena while
// parts of them are copied, moved out, changed or dropped on other threads.

#include "TXJSON.h"
#include "TXJsonConvenience.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace tx;

namespace {

std::string written(const JsonValue& v) {
    return tx::JSONRepresentation(v).value_or("?");
}

// An object text with keys k0..k(n-1) in a scrambled order, each twice: key
// k(i) holds i, then i + n.
std::string scrambledObject(int n) {
    std::string s = "{";
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < n; ++i) {
            const int k = (i * 7 + 3) % n;
            s += (s.size() > 1 ? "," : "") + ("\"k" + std::to_string(k) + "\":") +
                 std::to_string(round * n + k);
        }
    return s + "}";
}

// Lookups and the written order must agree with the keys' byte order, and a
// later duplicate replaces the earlier value, for objects below and above the
// size at which the parser sorts differently.
TEST(JsonTreeTest, MembersAreFoundAndWrittenInKeyOrderAndLaterDuplicatesWin) {
    for (int n : {0, 1, 2, 5, 24, 25, 100, 1000}) {
        const std::optional<JsonValue> v = tx::JSONValue(scrambledObject(n));
        ASSERT_TRUE(v) << n;
        ASSERT_EQ(v->asObject().size(), static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            const JsonValue* member = v->find("k" + std::to_string(k));
            EXPECT_TRUE(member && member->asNumber().toInt64() == n + k) << n << " k" << k;
        }
        EXPECT_EQ(v->find("k"), nullptr);
        EXPECT_EQ(v->find("k" + std::to_string(n)), nullptr);
        EXPECT_TRUE(std::ranges::is_sorted(v->asObject(), {}, &JsonObject::value_type::first)) << n;
    }
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"b":1,"a":2,"b":3,"a":4,"b":5})", R"({"a":4,"b":5})"},
        {R"({"a":{"x":1,"x":2},"a":[{"y":1,"y":{}}]})", R"({"a":[{"y":{}}]})"},
    };
    // clang-format on
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(written(*tx::JSONValue(input)), expected) << input;
}

// Parts of a parsed tree stay valid without the tree: copies, parts moved
// out, and containers changed after the parse. Under AddressSanitizer a part
// that still used the tree's arena after it was dropped would be reported.
TEST(JsonTreeTest, PartsOutliveTheParsedTree) {
    const std::string text = R"({"list":[{"name":"a long name, past the inline size","v":[1,2]}],)"
                             R"("other":{"k":"v"}})";
    JsonValue copied, moved, changed;
    {
        std::optional<JsonValue> tree = tx::JSONValue(text);
        ASSERT_TRUE(tree);
        copied = *tree->find("list");
        moved = std::move(tree->asObject()["other"]);
        changed = std::move(*tree);
    }
    for (int i = 0; i < 1000; ++i) changed.asObject()["list"].asArray().push_back(i);
    changed.asObject()["new"] = JsonArray{copied};
    EXPECT_EQ(written(copied), R"([{"name":"a long name, past the inline size","v":[1,2]}])");
    EXPECT_EQ(written(moved), R"({"k":"v"})");
    EXPECT_EQ(changed.asObject().at("list").asArray().size(), 1001u);
    EXPECT_EQ(*changed.find("new")->asArray()[0].asArray()[0].find("v"),
              JsonValue(JsonArray{1, 2}));

    // A tree parsed on one thread and dropped on another, while the parser
    // goes on with the next tree.
    TXJsonParser parser;
    std::vector<std::thread> droppers;
    for (int i = 0; i < 4; ++i) {
        auto tree = std::make_shared<JsonValue>(*parser.objectWithString(text));
        droppers.emplace_back([tree]() mutable { tree.reset(); });
    }
    for (std::thread& t : droppers) t.join();
}

}  // namespace
