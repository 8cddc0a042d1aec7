// Runs the built zorvan-json tool end to end: input on standard input or as
// a file, output and exit status checked.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ZorvanJsonTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorvan-json-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string writeInput(const std::string& text, const std::string& name = "stdin.json") {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs the tool with args (shell words) and the given standard input.
    ToolRun run(const std::string& args, const std::string& input) {
        const std::string in = writeInput(input);
        const std::string command = std::string("'") + ZORVAN_JSON_TOOL + "' " + args + " < '" +
                                    in + "' > '" + dir_ + "/out' 2> '" + dir_ + "/err'";
        ToolRun r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(dir_ + "/out");
        r.err = readFile(dir_ + "/err");
        return r;
    }

    std::string dir_;
};

struct ToolCase {
    std::string args;
    std::string input;
    int status;
    std::string out;
    std::string err;
};

class ZorvanJsonToolCases : public ZorvanJsonTool,
                            public ::testing::WithParamInterface<ToolCase> {};

TEST_P(ZorvanJsonToolCases, Runs) {
    const ToolCase& c = GetParam();
    const ToolRun r = run(c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cli, ZorvanJsonToolCases, ::testing::Values(
    ToolCase{"", "[1,]", 1, "", "9: Trailing comma disallowed in array\n"},
    ToolCase{"", " [ 1 , {\"b\":2, \"a\":\"x\"} ] ", 0, "[1,{\"a\":\"x\",\"b\":2}]\n", ""},
    ToolCase{"--sort-keys", "{\"b\":2,\"a\":1}", 0, "{\"a\":1,\"b\":2}\n", ""},
    ToolCase{"--pretty", "{\"a\":[1,2]}", 0, "{\n  \"a\" : [\n    1,\n    2\n  ]\n}\n", ""},
    ToolCase{"", "1", 1, "", "4: Valid fragment, but not JSON\n"},
    ToolCase{"--fragment", "1.50", 0, "1.5\n", ""},
    ToolCase{"--fragment --pretty", "\"a\\u0000\"", 0, "\"a\\u0000\"\n", ""},
    ToolCase{"", "{\"a\":}", 1, "", "3: Unrecognised leading character\n3: Object value expected for key: a\n"},
    ToolCase{"", "", 1, "", "11: Unexpected end of string\n"},
    ToolCase{"-", "[true]", 0, "[true]\n", ""},
    ToolCase{"--bogus", "[]", 2, "", "zorvan-json: unknown option '--bogus'\n"
                                     "usage: zorvan-json [--fragment] [--pretty] [--sort-keys] [FILE]\n"}));
// clang-format on

TEST_F(ZorvanJsonTool, ReadsNamedFile) {
    const std::string path = writeInput("{\"k\":[null]}", "named.json");
    const ToolRun r = run("'" + path + "'", "ignored");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"k\":[null]}\n");
}

TEST_F(ZorvanJsonTool, UnreadableFileExitsWith2) {
    const ToolRun missing = run("'" + dir_ + "/missing.json'", "");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
    const ToolRun directory = run("'" + dir_ + "'", "");
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.out, "");
}

}  // namespace
