// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <charconv>
#include <optional>

#include "camerapicture.h"
#include "scenes.h"

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

// "WxH", each side 1..kMaxPictureSide.
bool parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    return parseInt(text.substr(0, x), 1, demo::kMaxPictureSide, width) &&
           parseInt(text.substr(x + 1), 1, demo::kMaxPictureSide, height);
}

}  // namespace

std::string usage() {
    return "usage: zorvan-demo-server [--port 1818] [--user admin] [--password \"\"]\n"
           "                          [--delay-ms N] [--host 127.0.0.1] [--cameras 4]\n"
           "                          [--fixed-size WxH] [--video mjpeg|h264]\n"
           "                          [--activity SCRIPT] [--lights SCRIPT] [--cycle-seconds 90]\n"
           "A demo video server for the Zorvan viewer. --port 0 picks a free port;\n"
           "--delay-ms holds each picture answer back by N milliseconds;\n"
           "--cameras serves 1 to 64 cameras (a camera wall needs more than 4);\n"
           "--fixed-size answers every picture request with one still picture of\n"
           "that size per camera, whatever size was asked for;\n"
           "--video sets what each camera's video path streams: multipart JPEG\n"
           "(the default) or H.264 in MPEG-TS; the query \"fps\" sets the rate (25),\n"
           "\"gop\" the frames between H.264 key frames (1 to 600; by default fps).\n"
           "Scripted scenes repeat in a cycle of --cycle-seconds (1 to 86400) counted\n"
           "from the server's start; GET /scenes tells the script and that start.\n"
           "--activity \"Front door:20-25,60-70;Warehouse:5-8\": in those seconds of\n"
           "each cycle (from 20 up to 25) an object crosses that camera's picture\n"
           "from left to right at a steady speed;\n"
           "--lights \"Parking lot:40;Warehouse:10,50\": from that second of each cycle\n"
           "the whole picture is brighter for 10 seconds. Cameras are named exactly\n"
           "as /cameras lists them; ';' separates cameras, ',' their seconds.\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    DemoServer::Options& o = result.options;
    // Checked after the loop, against the cameras and cycle finally asked for.
    std::optional<std::string> activity;
    std::optional<std::string> lights;
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
                   name == "--delay-ms" || name == "--host" || name == "--cameras" ||
                   name == "--fixed-size" || name == "--video" || name == "--activity" ||
                   name == "--lights" || name == "--cycle-seconds") {
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
        } else if (name == "--fixed-size") {
            if (!parseSize(value, o.fixedWidth, o.fixedHeight)) {
                result.error = "--fixed-size must be WIDTHxHEIGHT, each from 1 to " +
                               std::to_string(demo::kMaxPictureSide) + ", not \"" + value + "\"";
                return result;
            }
        } else if (name == "--video") {
            if (value == "mjpeg") {
                o.video = DemoServer::Options::Video::Mjpeg;
            } else if (value == "h264") {
                o.video = DemoServer::Options::Video::H264;
            } else {
                result.error = "--video must be mjpeg or h264, not \"" + value + "\"";
                return result;
            }
        } else if (name == "--cycle-seconds") {
            if (!parseInt(value, 1, kMaxCycleSeconds, o.scenes.cycleSeconds)) {
                result.error = "--cycle-seconds must be a number from 1 to " +
                               std::to_string(kMaxCycleSeconds) + ", not \"" + value + "\"";
                return result;
            }
        } else if (name == "--activity") {
            activity = value;
        } else if (name == "--lights") {
            lights = value;
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
    const std::vector<DemoCamera> cameras = demoCameras(o.cameras);
    if (activity) {
        result.error = parseActivity(*activity, cameras, o.scenes.cycleSeconds, o.scenes.activity);
    }
    if (lights && result.error.empty()) {
        result.error = parseLights(*lights, cameras, o.scenes.cycleSeconds, o.scenes.lights);
    }
    return result;
}

}  // namespace demo
