// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built zorvan-json tool end to end: arguments and standard input
// in; standard output, standard error and exit status checked.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ZorvanJsonTool, Runs) {
    const std::string y = JSON_TEST_SUITE_DIR "/y_array_arraysWithSpaces.json";  // [[]   ]
    const std::string usage = "usage: zorvan-json [--fragment] [--pretty] [--sort-keys] [FILE]\n";
    // arguments, standard input, expected standard output, standard error, exit status
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string, int> cases[] = {
        {"", "{\"a\":}", "", "3: Unrecognised leading character\n3: Object value expected for key: a\n", 1},
        {"", " [ 1 , {\"b\":2, \"a\":\"x\"} ] ", "[1,{\"a\":\"x\",\"b\":2}]\n", "", 0},
        {"--pretty --sort-keys", "{\"b\":[1,2],\"a\":1}", "{\n  \"a\" : 1,\n  \"b\" : [\n    1,\n    2\n  ]\n}\n", "", 0},
        {"--fragment", "1.50", "1.5\n", "", 0},
        {"'" + y + "'", "ignored", "[[]]\n", "", 0},
        {"/nonexistent/z.json", "", "", "zorvan-json: cannot read '/nonexistent/z.json': No such file or directory\n", 2},
        {"--bogus", "[]", "", "zorvan-json: unknown option '--bogus'\n" + usage, 2},
    };
    // clang-format on
    const std::string io = ::testing::TempDir() + "zorvan-json-" + std::to_string(getpid());
    for (const auto& [args, input, out, err, status] : cases) {
        std::ofstream(io + ".in", std::ios::binary) << input;
        const std::string command = "'" ZORVAN_JSON_TOOL "' " + args + " <'" + io + ".in' >'" + io +
                                    ".out' 2>'" + io + ".err'";
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, status) << args << input;
        EXPECT_EQ(readFile(io + ".out"), out) << args << input;
        EXPECT_EQ(readFile(io + ".err"), err) << args << input;
    }
    for (const char* ext : {".in", ".out", ".err"}) std::remove((io + ext).c_str());
}

}  // namespace
