// SPDX-License-Identifier: GPL-3.0-or-later
// zorvan-json: checks and re-formats a JSON document with Zorvan's codec.
//
//     zorvan-json [--fragment] [--pretty] [--sort-keys] [FILE]
//
// Reads FILE (or standard input when FILE is absent or "-"), parses it and
// writes it back to standard output. Exit status: 0 on success; 1 when the
// document does not parse or cannot be written, with the error trace on
// standard error as "CODE: MESSAGE" lines, oldest first; 2 for a bad option
// or an unreadable file.

#include "TXJSON.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage = "usage: zorvan-json [--fragment] [--pretty] [--sort-keys] [FILE]\n";

struct Options {
    bool fragment = false;
    bool pretty = false;
    bool sortKeys = false;
    std::string path;  // empty: standard input
};

void printTrace(const tx::TXJsonBase& codec) {
    if (!codec.errorTrace()) return;
    for (const tx::JsonErrorPtr& error : *codec.errorTrace())
        std::cerr << error->code << ": " << error->message << '\n';
}

// Reads the whole stream; false (with errno set) on a read error, such as
// the one a directory gives.
bool readAll(std::FILE* in, std::string& out) {
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) != 0) out.append(buffer, n);
    return !std::ferror(in);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!onlyFiles && arg == "--fragment") {
            options.fragment = true;
        } else if (!onlyFiles && arg == "--pretty") {
            options.pretty = true;
        } else if (!onlyFiles && arg == "--sort-keys") {
            options.sortKeys = true;
        } else if (!onlyFiles && (arg == "--help" || arg == "-h")) {
            std::cout << kUsage;
            return 0;
        } else if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "zorvan-json: unknown option '" << arg << "'\n" << kUsage;
            return 2;
        } else if (options.path.empty()) {
            options.path = arg;
        } else {
            std::cerr << "zorvan-json: more than one input file\n" << kUsage;
            return 2;
        }
    }

    std::string text;
    const bool fromStdin = options.path.empty() || options.path == "-";
    std::FILE* in = fromStdin ? stdin : std::fopen(options.path.c_str(), "rb");
    const bool read = in && readAll(in, text);
    const int readError = errno;
    if (in && !fromStdin) std::fclose(in);
    if (!read) {
        std::cerr << "zorvan-json: cannot read "
                  << (fromStdin ? std::string("standard input") : "'" + options.path + "'") << ": "
                  << std::strerror(readError) << '\n';
        return 2;
    }

    tx::TXJSON json;
    json.setHumanReadable(options.pretty);
    json.setSortKeys(options.sortKeys);
    const std::optional<tx::JsonValue> value =
        options.fragment ? json.fragmentWithString(text) : json.objectWithString(text);
    if (!value) {
        printTrace(json);
        return 1;
    }
    const std::optional<std::string> written =
        options.fragment ? json.stringWithFragment(*value) : json.stringWithObject(*value);
    if (!written) {
        printTrace(json);
        return 1;
    }
    std::cout << *written << '\n';
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "zorvan-json: cannot write standard output\n";
        return 2;
    }
    return 0;
}
