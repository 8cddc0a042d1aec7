// SPDX-License-Identifier: GPL-3.0-or-later
// The public JSON conformance corpus in JSONTestSuite/test_parsing: y_ files
// must parse and survive a round trip through the writer in both layouts,
// n_ files must fail except for the parser's deliberate leniencies, and every
// file, i_ ones included, must end in a result or an error.

#include "TXJsonConvenience.h"
#include "TXJsonParser.h"
#include "TXJsonWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

TEST(JsonTestSuite, AcceptsYRejectsNAndEndsOnEveryFile) {
    // n_ files accepted on purpose.
    const std::set<std::string> lenient = {
        "n_array_1_true_without_comma.json",     // [1 true]: commas are optional
        "n_array_inner_array_no_comma.json",     // [3[4]]: commas are optional
        "n_structure_whitespace_formfeed.json",  // [\f]: form feed is whitespace
        "n_multidigit_number_then_00.json",      // 123\0: the input ends at its first NUL
    };
    std::set<std::string> acceptedN, rejectedY;
    for (const auto& entry : std::filesystem::directory_iterator(JSON_TEST_SUITE_DIR)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::optional<tx::JsonValue> value =
            tx::JSONFragmentValue(std::string(std::istreambuf_iterator<char>(in), {}));
        if (!value && name[0] == 'y') rejectedY.insert(name);
        if (value && name[0] == 'n') acceptedN.insert(name);
        if (!value) continue;
        for (bool pretty : {false, true}) {  // both layouts give back the same tree
            tx::TXJsonWriter writer;
            writer.setHumanReadable(pretty);
            const std::optional<std::string> written = writer.stringWithFragment(*value);
            EXPECT_EQ(tx::JSONFragmentValue(written.value_or("")), value) << name;
        }
    }
    EXPECT_EQ(acceptedN, lenient);
    EXPECT_EQ(rejectedY, std::set<std::string>{});
}

}  // namespace
