// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The command line of zorvan-demo-server:
//   zorvan-demo-server [--port 1818] [--user admin] [--password ""]
//                      [--delay-ms N] [--host 127.0.0.1] [--cameras 4]
//                      [--fixed-size WxH] [--video mjpeg|h264]
//                      [--activity SCRIPT] [--lights SCRIPT] [--cycle-seconds 90]
// Each option takes its value as the next argument or after '='.

#include <string>
#include <vector>

#include "demoserver.h"

namespace demo {

struct CommandLine {
    DemoServer::Options options;
    bool help = false;  // --help or -h: print usage() and exit
    std::string error;  // not empty: the arguments were refused, say why
};

// `args` without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usage();

}  // namespace demo
