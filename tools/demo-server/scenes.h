// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scripted scenes of the demo cameras, the ground truth for tests and
// benchmarks of activity detection. Time runs in a cycle of cycleSeconds
// that repeats from the server's start; in given seconds of each cycle an
// object crosses a camera's picture from left to right, or a camera's light
// is on (the whole picture brighter) for kLightSeconds.
//
// Cameras are named as the catalogue names them (democatalog.h), matched
// exactly. Everything here is plain data and pure functions: the drawing is
// camerapicture.h's, the clock the server's.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "democatalog.h"

namespace demo {

inline constexpr int kDefaultCycleSeconds = 90;
inline constexpr int kMaxCycleSeconds = 86'400;
inline constexpr int kLightSeconds = 10;

// Seconds [from, to) of the cycle. A light's window may pass the cycle's
// end (to > cycleSeconds): it then goes on from the next cycle's start.
struct SceneWindow {
    int from = 0;
    int to = 0;
    bool operator==(const SceneWindow&) const = default;
};

// Windows by camera name, each camera's in the order given.
using SceneWindows = std::map<std::string, std::vector<SceneWindow>>;

struct SceneScript {
    int cycleSeconds = kDefaultCycleSeconds;
    SceneWindows activity;  // the object crosses the picture
    SceneWindows lights;    // the picture is brighter
};

// What one frame of a camera shows of its script.
struct SceneState {
    // The object is in the picture: 0 with its left edge at the picture's
    // left, 1 with its right edge at the picture's right, linear in time.
    std::optional<double> crossing;
    bool lit = false;
    bool neutral() const { return !crossing && !lit; }
};

// Parses "NAME:FROM-TO,FROM-TO;NAME:FROM-TO" (activity) or
// "NAME:SECOND,SECOND;NAME:SECOND" (lights, each on for kLightSeconds)
// into `out`, against `cameras` and a cycle of `cycleSeconds`. Returns an
// error message for people, empty on success; `out` is then complete.
std::string parseActivity(std::string_view text, const std::vector<DemoCamera>& cameras,
                          int cycleSeconds, SceneWindows& out);
std::string parseLights(std::string_view text, const std::vector<DemoCamera>& cameras,
                        int cycleSeconds, SceneWindows& out);

// The state of `camera` at `msSinceStart` milliseconds after cycle 0 began
// (negative values count back from it).
SceneState sceneAt(const SceneScript& script, const std::string& camera, std::int64_t msSinceStart);

// The answer to "/scenes": {"cycleSeconds":N,"startedMs":epoch ms of cycle 0,
// "activity":{NAME:[{"from":S,"to":S},...]},"lights":{NAME:[{"from":S,"to":S}]}}.
std::string scenesDocument(const SceneScript& script, std::int64_t startedMs);

}  // namespace demo
