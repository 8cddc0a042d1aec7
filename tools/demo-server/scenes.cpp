// SPDX-License-Identifier: GPL-3.0-or-later
#include "scenes.h"

#include "TXJsonValue.h"
#include "TXJsonWriter.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace demo {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (size_t begin = 0;;) {
        const size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string_view::npos) return parts;
        begin = end + 1;
    }
}

bool number(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

// Reads one item of a camera's list into a window; false when malformed.
using ItemParser = std::function<bool(std::string_view, SceneWindow&)>;

std::string parseScript(const std::string& option, const std::string& form, std::string_view text,
                        const std::vector<DemoCamera>& cameras, const ItemParser& item,
                        SceneWindows& out) {
    SceneWindows result;
    for (const std::string_view segment : split(text, ';')) {
        // The last colon: the items never hold one, so a name still may.
        const size_t colon = segment.rfind(':');
        if (colon == std::string_view::npos) {
            return option + " expects NAME:" + form + ", not \"" + std::string(segment) + "\"";
        }
        const std::string name(segment.substr(0, colon));
        if (std::none_of(cameras.begin(), cameras.end(),
                         [&](const DemoCamera& c) { return c.name == name; })) {
            return option + ": there is no camera named \"" + name + "\"";
        }
        if (result.count(name)) return option + ": camera \"" + name + "\" is given twice";
        std::vector<SceneWindow>& windows = result[name];
        for (const std::string_view part : split(segment.substr(colon + 1), ',')) {
            SceneWindow window;
            if (!item(part, window)) {
                return option + ": \"" + std::string(part) + "\" for \"" + name + "\" is not " +
                       form;
            }
            windows.push_back(window);
        }
    }
    out = std::move(result);
    return {};
}

tx::JsonValue windowsObject(const SceneWindows& windows) {
    tx::JsonObject object;
    for (const auto& [name, list] : windows) {
        tx::JsonArray array;
        for (const SceneWindow& w : list)
            array.push_back(tx::JsonObject{{"from", w.from}, {"to", w.to}});
        object.emplace(name, std::move(array));
    }
    return object;
}

}  // namespace

std::string parseActivity(std::string_view text, const std::vector<DemoCamera>& cameras,
                          int cycleSeconds, SceneWindows& out) {
    const std::string form =
        "FROM-TO (seconds, 0 <= FROM < TO <= " + std::to_string(cycleSeconds) + ")";
    return parseScript(
        "--activity", form, text, cameras,
        [cycleSeconds](std::string_view part, SceneWindow& w) {
            const size_t dash = part.find('-');
            return dash != std::string_view::npos &&
                   number(part.substr(0, dash), 0, cycleSeconds - 1, w.from) &&
                   number(part.substr(dash + 1), w.from + 1, cycleSeconds, w.to);
        },
        out);
}

std::string parseLights(std::string_view text, const std::vector<DemoCamera>& cameras,
                        int cycleSeconds, SceneWindows& out) {
    const std::string form =
        "a SECOND (0 to " + std::to_string(cycleSeconds - 1) + ") of the cycle";
    return parseScript(
        "--lights", form, text, cameras,
        [cycleSeconds](std::string_view part, SceneWindow& w) {
            if (!number(part, 0, cycleSeconds - 1, w.from)) return false;
            w.to = w.from + kLightSeconds;
            return true;
        },
        out);
}

SceneState sceneAt(const SceneScript& script, const std::string& camera,
                   std::int64_t msSinceStart) {
    SceneState state;
    const std::int64_t cycleMs = std::int64_t{std::max(1, script.cycleSeconds)} * 1000;
    std::int64_t phase = msSinceStart % cycleMs;
    if (phase < 0) phase += cycleMs;
    if (const auto it = script.activity.find(camera); it != script.activity.end()) {
        for (const SceneWindow& w : it->second) {
            const std::int64_t from = std::int64_t{w.from} * 1000;
            const std::int64_t length = std::int64_t{w.to - w.from} * 1000;
            if (phase >= from && phase - from < length) {
                state.crossing = static_cast<double>(phase - from) / static_cast<double>(length);
                break;
            }
        }
    }
    if (const auto it = script.lights.find(camera); it != script.lights.end()) {
        for (const SceneWindow& w : it->second) {
            // Counted from the light's second, so that a window passing the
            // cycle's end goes on from its start.
            const std::int64_t since =
                ((phase - std::int64_t{w.from} * 1000) % cycleMs + cycleMs) % cycleMs;
            if (since < std::int64_t{w.to - w.from} * 1000) state.lit = true;
        }
    }
    return state;
}

std::string scenesDocument(const SceneScript& script, std::int64_t startedMs) {
    const tx::JsonObject document = {
        {"cycleSeconds", script.cycleSeconds},
        {"startedMs", startedMs},
        {"activity", windowsObject(script.activity)},
        {"lights", windowsObject(script.lights)},
    };
    tx::TXJsonWriter writer;
    writer.setHumanReadable(true);
    return writer.stringWithObject(document).value_or("{}");
}

}  // namespace demo
