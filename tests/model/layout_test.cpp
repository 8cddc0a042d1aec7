// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a layout's cameras after the server's list changed, and the
// control room's JSON form.

#include "layout.h"

#include <gtest/gtest.h>

#include "TXJsonParser.h"
#include "TXJsonWriter.h"

namespace {

const QString kA = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";

// Each camera as "uri|name", "-" for an absent field.
CameraList list(const QStringList& cameras) {
    CameraList out;
    for (const QString& c : cameras) {
        const QStringList f = c.split('|');
        auto camera = std::make_shared<CameraView>(f[1] == "-" ? QString() : f[1], nullptr);
        camera->uri = f[0] == "-" ? QString() : f[0];
        out.push_back(camera);
    }
    return out;
}

TEST(CameraRef, FoundAgainAfterTheListChanged) {
    // clang-format off
    const struct { const char* what; QStringList now; CameraRef ref; int found; } cases[] = {
        {"moved in its list", {"/c/2|B", "/c/1|A"}, {kA, "/c/1", "A", 0}, 1},
        {"renamed", {"/c/1|New"}, {kA, "/c/1", "A", 0}, 0},
        {"gone, its name taken", {"/c/2|A"}, {kA, "/c/1", "A", 0}, -1},
        {"server without uris", {"-|Gate", "-|Yard"}, {kA, {}, "Yard", 0}, 1},
        {"server stopped giving uris", {"-|Gate", "-|Yard"}, {kA, "/c/1", "Yard", 0}, 1},
        {"same names: its position", {"-|Cam", "-|Cam"}, {kA, {}, "Cam", 1}, 1},
        {"same names: else the first", {"-|Cam", "-|Cam"}, {kA, {}, "Cam", 7}, 0},
        {"name gone", {"-|Gate"}, {kA, {}, "Yard", 0}, -1},
        {"neither: the position", {"-|-", "-|-"}, {kA, {}, {}, 1}, 1},
        {"neither: list shorter", {"-|-"}, {kA, {}, {}, 1}, -1},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(findCamera(list(c.now), c.ref), c.found) << c.what;
    // A reference made from a list finds its camera in that list.
    const CameraList cameras = list({"/c/1|A", "-|B", "-|-"});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(findCamera(cameras, *CameraRef::to(kA, cameras, i)), i);
    EXPECT_FALSE(CameraRef::to(kA, cameras, 3));
}

TEST(ControlRoomJson, RoundTripThroughText) {
    ControlRoom room;
    Layout lobby{"Lobby"};
    lobby.resize(1, 3);
    lobby.setCell(0, 2, CameraRef{kA, "/c/1", "Gate", 4});
    lobby.setCell(0, 0, CameraRef{kA, {}, "", 0});
    room.layouts = {lobby};
    room.tours = {{"Night",
                   {{TourStep::Kind::Layout, "Lobby", {}, 0, 5},
                    {TourStep::Kind::ServerWall, {}, kA, 2, 3600}},
                   45}};
    WindowState camera{"HDMI-1",
                       1,
                       QRect(-20, 10, 800, 600),
                       true,
                       WindowState::Shows::Camera,
                       kA,
                       CameraRef{kA, "/c/1", {}, -1}};
    room.windows = {camera, {{}, 0, {}, false, WindowState::Shows::Tour, {}, {}, "Night"}};
    const std::string text = tx::TXJsonWriter().stringWithObject(room.toJson()).value();
    bool ok = false;
    EXPECT_EQ(ControlRoom::fromJson(tx::TXJsonParser().objectWithString(text).value(), &ok), room);
    EXPECT_TRUE(ok);
}

// What is kept of hand-written entries, in a short form.
QString kept(const std::string& json) {
    const ControlRoom r =
        ControlRoom::fromJson(tx::TXJsonParser().fragmentWithString(json).value());
    QStringList out;
    for (const Layout& l : r.layouts)
        out << QString("L:%1 %2x%3 %4")
                   .arg(l.name)
                   .arg(l.rows)
                   .arg(l.columns)
                   .arg(std::count_if(l.cells.begin(), l.cells.end(), [](auto& c) { return c; }));
    for (const Tour& t : r.tours) {
        out << QString("T:%1 %2").arg(t.name).arg(t.pauseSeconds);
        for (const TourStep& s : t.steps) out << QString::number(s.dwellSeconds);
    }
    for (const WindowState& w : r.windows) out << "W:" + w.name + w.serverId.left(4);
    return out.join(' ');
}

TEST(ControlRoomJson, MalformedEntriesAreSkippedOrClamped) {
    const std::string id = R"("serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37")";
    // clang-format off
    const struct { std::string json; const char* kept; } cases[] = {
        {"[]", ""}, {"null", ""}, {R"({"layouts": {}, "tours": 3})", ""},
        {R"({"layouts": [1, {"name": ""}, {"name": "a"}, {"name": "b", "rows": 0, "columns": 99,
            "cells": [null, 1, {"serverId": "x"}, {)" + id + "}, {" + id + R"(}]},
            {"name": "b", "rows": 1, "columns": 1}]})", "L:b 1x8 2"},
        {R"({"tours": [{"name": "t", "steps": [{"kind": "layout", "layout": "L",
            "dwellSeconds": 0}, {"kind": "layout"}, {"kind": "x", "layout": "L"}, {"kind":
            "serverWall", "dwellSeconds": 1e9, )" + id + R"(}, {"kind": "serverWall"}],
            "pauseSeconds": -5}, {"name": "u"}]})", "T:t 1 1 3600"},
        {R"({"windows": [{"shows": "layout"}, {"shows": "tour", "name": "T"}, {"shows": "x"},
            {"shows": "serverWall", )" + id + R"(}, {"shows": "camera", "camera": {}}]})",
         "W:T W:5f0c"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(kept(c.json), c.kept) << c.json;
}

}  // namespace
