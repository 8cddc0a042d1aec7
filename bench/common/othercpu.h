// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// CPU seconds of another process so far (all its threads, user and system),
// from /proc: what a benchmark's demo servers spend beside it. Linux only.

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

inline double processCpuSeconds(long long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // utime and stime are the 14th and 15th fields, the 3rd the first after
    // the command's closing parenthesis.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}
