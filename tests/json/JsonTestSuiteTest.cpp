// The public JSON conformance corpus in JSONTestSuite/test_parsing: y_ files
// must parse, n_ files must fail except for the parser's deliberate
// leniencies listed below, and every file, i_ ones included, must end in a
// result or an error. Every accepted document must also survive a round trip
// through the writer.

#include "TXJsonParser.h"
#include "TXJsonWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// n_ files that this parser accepts on purpose.
const std::set<std::string> kAcceptedByDesign = {
    "n_array_1_true_without_comma.json",     // [1 true]: commas are optional
    "n_array_inner_array_no_comma.json",     // [3[4]]: commas are optional
    "n_structure_whitespace_formfeed.json",  // [\f]: form feed is whitespace
    "n_multidigit_number_then_00.json",      // 123\0: the input ends at its first NUL
};

std::vector<fs::path> corpus(const std::string& prefix) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::directory_iterator(JSON_TEST_SUITE_DIR))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Parses the file's bytes; on success also checks parse-write-parse.
bool parses(const fs::path& path) {
    tx::TXJsonParser parser;
    const std::optional<tx::JsonValue> value = parser.fragmentWithString(readFile(path));
    if (!value) {
        EXPECT_TRUE(parser.errorTrace().has_value() && !parser.errorTrace()->empty());
        return false;
    }
    const std::optional<std::string> text = tx::TXJsonWriter().stringWithFragment(*value);
    EXPECT_TRUE(text.has_value());
    if (text) {
        const std::optional<tx::JsonValue> again = parser.fragmentWithString(*text);
        EXPECT_TRUE(again.has_value() && *again == *value) << *text;
    }
    return true;
}

TEST(JsonTestSuite, AcceptsEveryYFile) {
    const std::vector<fs::path> files = corpus("y_");
    EXPECT_GT(files.size(), 90u);
    for (const fs::path& f : files) EXPECT_TRUE(parses(f)) << f.filename();
}

TEST(JsonTestSuite, RejectsEveryNFileButTheLenientOnes) {
    const std::vector<fs::path> files = corpus("n_");
    EXPECT_GT(files.size(), 180u);
    std::set<std::string> accepted;
    for (const fs::path& f : files) {
        const std::string name = f.filename().string();
        if (parses(f)) accepted.insert(name);
    }
    EXPECT_EQ(accepted, kAcceptedByDesign);
}

TEST(JsonTestSuite, EveryIFileEnds) {
    const std::vector<fs::path> files = corpus("i_");
    EXPECT_GT(files.size(), 30u);
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        parses(f);
    }
}

}  // namespace
