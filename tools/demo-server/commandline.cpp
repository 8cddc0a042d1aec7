#include "commandline.h"

#include <charconv>

namespace demo {

namespace {

// Longest delay accepted: an hour is already far beyond any use.
constexpr int kMaxDelayMs = 3'600'000;

bool parseInt(const std::string& text, int low, int high, int& out) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

}  // namespace

std::string usage() {
    return "usage: zorvan-demo-server [--port 1818] [--user admin] [--password \"\"]\n"
           "                          [--delay-ms N] [--host 127.0.0.1] [--cameras 4]\n"
           "A demo video server for the Zorvan viewer. --port 0 picks a free port;\n"
           "--delay-ms holds each picture answer back by N milliseconds;\n"
           "--cameras serves 1 to 64 cameras (a camera wall needs more than 4).\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    DemoServer::Options& o = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            result.help = true;
            return result;
        }
        std::string value;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (name == "--port" || name == "--user" || name == "--password" ||
                   name == "--delay-ms" || name == "--host" || name == "--cameras") {
            if (i + 1 >= args.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = args[++i];
        }

        if (name == "--port") {
            if (!parseInt(value, 0, 65535, o.port)) {
                result.error = "--port must be a number from 0 to 65535, not \"" + value + "\"";
                return result;
            }
        } else if (name == "--delay-ms") {
            if (!parseInt(value, 0, kMaxDelayMs, o.delayMs)) {
                result.error = "--delay-ms must be a number from 0 to " +
                               std::to_string(kMaxDelayMs) + ", not \"" + value + "\"";
                return result;
            }
        } else if (name == "--cameras") {
            if (!parseInt(value, 1, kMaxCameraCount, o.cameras)) {
                result.error = "--cameras must be a number from 1 to " +
                               std::to_string(kMaxCameraCount) + ", not \"" + value + "\"";
                return result;
            }
        } else if (name == "--user") {
            o.user = value;
        } else if (name == "--password") {
            o.password = value;
        } else if (name == "--host") {
            if (value.empty()) {
                result.error = "--host must not be empty";
                return result;
            }
            o.host = value;
        } else {
            result.error = "unknown argument \"" + args[i] + "\"";
            return result;
        }
    }
    return result;
}

}  // namespace demo
