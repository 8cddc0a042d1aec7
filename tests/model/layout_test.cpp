// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a layout's cameras after the server's list changed, and the
// control room's JSON form.

#include "layout.h"

#include <gtest/gtest.h>

#include "TXJsonParser.h"

namespace {

const QString kA = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";

// Each camera as "uri|name", "-" for an absent field.
CameraList list(const QStringList& cameras) {
    CameraList out;
    for (const QString& camera : cameras) {
        const QStringList f = camera.split('|');
        out.push_back(std::make_shared<CameraView>(f[1] == "-" ? QString() : f[1], nullptr));
        out.back()->uri = f[0] == "-" ? QString() : f[0];
    }
    return out;
}

TEST(CameraRef, FoundAgainAfterTheListChanged) {
    // clang-format off
    const struct { QStringList now; CameraRef ref; int found; } cases[] = {
        {{"/c/2|B", "/c/1|A"}, {kA, "/c/1", "A", 0}, 1},  // moved in its list
        {{"/c/1|New"}, {kA, "/c/1", "A", 0}, 0},  // renamed
        {{"/c/2|A"}, {kA, "/c/1", "A", 0}, -1},  // gone, its name taken
        {{"-|Gate", "-|Yard"}, {kA, {}, "Yard", 0}, 1},  // a server without uris
        {{"-|Gate", "-|Yard"}, {kA, "/c/1", "Yard", 0}, 1},  // one that stopped giving them
        {{"-|Cam", "-|Cam"}, {kA, {}, "Cam", 1}, 1}, {{"-|Cam", "-|Cam"}, {kA, {}, "Cam", 7}, 0},
        {{"-|Gate"}, {kA, {}, "Yard", 0}, -1},
        {{"-|-", "-|-"}, {kA, {}, {}, 1}, 1}, {{"-|-"}, {kA, {}, {}, 1}, -1},  // by position
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(findCamera(list(c.now), c.ref), c.found) << &c - cases;
    const CameraList cameras = list({"/c/1|A", "-|B", "-|-"});  // made from a list, found there
    for (int i = 0; i < 3; ++i) EXPECT_EQ(findCamera(cameras, *CameraRef::to(kA, cameras, i)), i);
}

tx::JsonValue parse(const std::string& text) {
    return tx::TXJsonParser().fragmentWithString(text).value();
}

// The file's form, as the control room writes it back.
const char* kRoom = R"({"layouts": [{"name": "Lobby", "rows": 1, "columns": 3, "cells": [
  {"serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "name": "", "position": 0}, null,
  {"serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "uri": "/c/1", "name": "Gate"}]}],
 "tours": [{"name": "Night", "pauseSeconds": 45, "steps": [
  {"kind": "layout", "layout": "Lobby", "dwellSeconds": 5}, {"kind": "serverWall",
   "serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "page": 2, "dwellSeconds": 3600}]}],
 "windows": [{"screen": "HDMI-1", "screenIndex": 1, "geometry": [-20, 10, 800, 600],
  "fullScreen": true, "shows": "camera", "camera": {"serverId":
  "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "uri": "/c/1"}},
  {"screen": "", "screenIndex": 0, "fullScreen": false, "shows": "tour", "name": "Night"},
  {"screen": "", "screenIndex": 0, "fullScreen": false, "shows": "camera", "camera":
   {"serverId": ""}}]})";

TEST(ControlRoomJson, ReadsAndWritesTheSameForm) {
    bool ok = false, skipped = true;
    const ControlRoom room = ControlRoom::fromJson(parse(kRoom), &ok, &skipped);
    EXPECT_TRUE(ok && !skipped);
    EXPECT_EQ(room.toJson(), parse(kRoom));
    EXPECT_EQ(room.layout("Lobby")->cell(0, 2)->cameraUri, "/c/1");
}

// Each hand-written document reads as the one beside it.
TEST(ControlRoomJson, MalformedEntriesAreSkippedOrClamped) {
    const std::string id = R"("serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37")";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"[]", "{}"}, {R"({"layouts": {}, "tours": 3})", "{}"},
        {R"({"layouts": [1, {"name": ""}, {"name": "a"}, {"name": "b", "rows": 0, "columns": 99,
            "cells": [null, 1, {"serverId": "x"}, {)" + id + R"(, "position": 1e99}]},
            {"name": "b", "rows": 1, "columns": 1}]})",
         R"({"layouts": [{"name": "b", "rows": 1, "columns": 8, "cells": [null, null, null,
            {)" + id + R"(, "position": 1000000}]}]})"},
        {R"({"tours": [{"name": "t", "steps": [{"kind": "layout", "layout": "L", "dwellSeconds":
            0.2}, {"kind": "layout"}, {"kind": "x", "layout": "L"}, {"kind": "serverWall",
            "dwellSeconds": 1e9, )" + id + R"(}, {"kind": "serverWall"}], "pauseSeconds": "5"}]})",
         R"({"tours": [{"name": "t", "steps": [{"kind": "layout", "layout": "L", "dwellSeconds":
            1}, {"kind": "serverWall", "dwellSeconds": 3600, )" + id + R"(}]}]})"},
        {R"({"windows": [{"shows": "layout"}, {"shows": "x"}, {"shows": "serverWall", )" + id +
            R"(, "geometry": [0, 0, 0, 5]}, {"shows": "camera", "camera": {}}]})",
         R"({"windows": [{"shows": "serverWall", )" + id + "}]}"},
    };
    // clang-format on
    for (const auto& [in, as] : cases) {
        bool ok = false, skipped = false, asSkipped = true;
        const ControlRoom room = ControlRoom::fromJson(parse(in), &ok, &skipped);
        EXPECT_EQ(room, ControlRoom::fromJson(parse(as), nullptr, &asSkipped)) << in;
        EXPECT_TRUE(skipped || !ok) << in;
        EXPECT_FALSE(asSkipped) << as;
    }
}

// Anything read otherwise than it stands is told; what loses nothing is not.
TEST(ControlRoomJson, TellsWhetherAnythingWasLeftOutOrChanged) {
    const std::string id = R"("serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37")";
    std::string many = R"({"windows": [)";
    for (std::size_t i = 0; i <= ControlRoom::kMaxEntries; ++i)
        many += R"({"shows": "tour", "name": "t"},)";
    many.back() = ']';
    // clang-format off
    const struct { std::string json; bool skipped; } cases[] = {
        {R"({"layouts": [{"name": "a", "rows": 9, "columns": 1}]})", true},
        {R"({"layouts": [{"name": "a", "rows": 2.0, "columns": 1}]})", false},
        {R"({"layouts": [{"name": "a", "rows": 1, "columns": 1, "cells": [null, null]}]})", true},
        {R"({"layouts": [{"name": "a", "rows": 1, "columns": 2, "cells": [null]}]})", false},
        {R"({"layouts": [{"name": "a", "rows": 1, "columns": 1, "cells": [{)" + id +
            R"(, "name": 5}]}]})", true},
        {R"({"tours": [{"name": "t", "steps": [], "pauseSeconds": "5"}]})", true},
        {R"({"windows": [{"shows": "tour", "name": "t", "geometry": [0, 0, 0, 5]}]})", true},
        {R"({"windows": [{"shows": "tour", "name": "t"}], "zoom": 1})", false},
        {R"({"windows": [{"shows": "camera", "camera": {"serverId": ""}}]})", false},
        {many + "}", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        bool skipped = !c.skipped;
        ControlRoom::fromJson(parse(c.json), nullptr, &skipped);
        EXPECT_EQ(skipped, c.skipped) << c.json.substr(0, 100);
    }
}

}  // namespace
