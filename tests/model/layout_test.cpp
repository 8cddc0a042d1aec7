// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a layout's cameras after the server's list changed, and the
// control room's JSON form.

#include "layout.h"

#include <gtest/gtest.h>

#include <functional>

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
  {"screen": "", "screenIndex": 0, "fullScreen": false, "locked": true, "shows": "tour",
   "name": "Night"},
  {"screen": "", "screenIndex": 0, "fullScreen": false, "shows": "camera", "camera":
   {"serverId": ""}}]})";

TEST(ControlRoomJson, ReadsAndWritesTheSameForm) {
    bool ok = false, skipped = true;
    const ControlRoom room = ControlRoom::fromJson(parse(kRoom), &ok, &skipped);
    EXPECT_TRUE(ok && !skipped);
    EXPECT_EQ(room.toJson(), parse(kRoom));
    EXPECT_EQ(room.layout("Lobby")->cell(0, 2)->cameraUri, "/c/1");
}

// A tour waits for activity only when it says so, and says so only then.
TEST(ControlRoomJson, TourWaitsForActivity) {
    const std::string tour = R"({"tours": [{"name": "t", "pauseSeconds": 30, "steps": [])";
    // clang-format off
    const struct { std::string more; bool waits, skipped; const char* written; } cases[] = {
        {"", false, false, ""},  // a file from before
        {R"(, "waitForActivity": false)", false, false, ""},
        {R"(, "waitForActivity": true)", true, false, R"(, "waitForActivity": true)"},
        {R"(, "waitForActivity": 1)", false, true, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        bool skipped = !c.skipped;
        const ControlRoom room =
            ControlRoom::fromJson(parse(tour + c.more + "}]}"), nullptr, &skipped);
        ASSERT_EQ(room.tours.size(), 1u) << c.more;
        EXPECT_EQ(room.tours[0].waitForActivity, c.waits) << c.more;
        EXPECT_EQ(skipped, c.skipped) << c.more;
        EXPECT_EQ(room.toJson(), parse(tour + c.written + R"(}], "layouts": [], "windows": []})"))
            << c.more;
    }
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

// A layout as text: each slot the number of the cell that covers it, rows
// apart by "/", then each cell's camera by name ("." for none).
std::string drawn(const Layout& l) {
    std::string out;
    for (int r = 0; r < l.rows; ++r) {
        if (r) out += '/';
        for (int c = 0; c < l.columns; ++c) out += char('0' + l.cellAt(r, c));
    }
    out += ' ';
    for (const auto& cell : l.cells) out += cell ? cell->cameraName.toStdString() : ".";
    return out;
}

// A layout of a template (or an even rows x columns grid for "RxC") whose
// cells show the cameras named by the letters of names, "." for none.
Layout made(const QString& shape, const QString& names) {
    Layout l;
    if (!l.applyTemplate(shape))
        l.resize(shape.section('x', 0, 0).toInt(), shape.section('x', 1).toInt());
    for (int i = 0; i < names.size() && i < l.cellCount(); ++i)
        l.cells[i] = names[i] == '.' ? std::nullopt
                                     : std::optional(CameraRef{kA, {}, QString(names[i]), -1});
    return l;
}

TEST(LayoutCells, TemplatesTileTheirGrid) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"1+5", "001/002/345 ABCD.."}, {"1+7", "0001/0002/0003/4567 ABCD...."},
        {"1+12", "0012/0034/5678/9:;< ABCD........."}, {"2+8", "0011/0011/2345/6789 ABCD......"},
        {"1x1", "0 A"}, {"4x4", "0123/4567/89:;/<=>? ABCD............"},
    };
    // clang-format on
    for (const auto& [name, after] : cases) {
        Layout l = made("2x2", "ABCD");
        ASSERT_TRUE(l.applyTemplate(name)) << name;
        EXPECT_TRUE(Layout::tiles(l.rows, l.columns, l.cellRects())) << name;
        EXPECT_EQ(drawn(l), after) << name;
        EXPECT_EQ(l.templateName(), name);
    }
    EXPECT_EQ(Layout::templateNames().size(), 8u);
    EXPECT_EQ(made("3x4", "").templateName(), "");
}

TEST(LayoutCells, JoinSplitAndResizeKeepTheirCameras) {
    // clang-format off
    const struct { const char* shape; const char* names; std::function<bool(Layout&)> edit;
                   bool done; const char* after; } cases[] = {
        {"3x3", "ABCDEFGHI", [](Layout& l) { return l.join({0, 0, 2, 2}); }, true, "001/002/345 ACFGHI"},
        {"3x3", ".BCDEFGHI", [](Layout& l) { return l.join({0, 0, 2, 2}); }, true, "001/002/345 BCFGHI"},
        // an area cutting the large cell grows over it
        {"1+5", "ABCDEF", [](Layout& l) { return l.join({1, 1, 2, 1}); }, true, "001/002/003 ABCF"},
        {"1+5", "ABCDEF", [](Layout& l) { return l.join({0, 0, 2, 2}); }, false, "001/002/345 ABCDEF"},
        {"2x2", "ABCD", [](Layout& l) { return l.join({1, 1, 5, 5}); }, false, "01/23 ABCD"},
        {"1+5", "ABCDEF", [](Layout& l) { return l.split(0); }, true, "012/345/678 A.B..CDEF"},
        {"1+5", "ABCDEF", [](Layout& l) { return l.split(1); }, false, "001/002/345 ABCDEF"},
        {"1+7", "ABCDEFGH", [](Layout& l) { l.resize(2, 2); return true; }, true, "00/00 A"},
        {"1+5", "ABCDEF", [](Layout& l) { l.resize(3, 4); return true; }, true, "0012/0034/5678 AB.C.DEF."},
        {"1+5", "ABCDEF", [](Layout& l) { l.resize(1, 3); return true; }, true, "001 AB"},
        {"2x2", "ABCD", [](Layout& l) { l.resize(3, 1); return true; }, true, "0/1/2 AC."},
        {"1+5", "ABCDEF", [](Layout& l) { return l.setCell(1, 1, CameraRef{kA, {}, "Z", -1}); }, true, "001/002/345 ZBCDEF"},
        {"1+12", "A", [](Layout& l) { return l.applyTemplate("2x2"); }, true, "01/23 A..."},
    };
    // clang-format on
    for (const auto& c : cases) {
        Layout l = made(c.shape, c.names);
        EXPECT_EQ(c.edit(l), c.done) << &c - cases;
        EXPECT_EQ(drawn(l), c.after) << &c - cases;
        EXPECT_TRUE(Layout::tiles(l.rows, l.columns, l.cellRects())) << &c - cases;
        EXPECT_EQ(l.rects.empty(), l.cellCount() == l.rows * l.columns) << &c - cases;
    }
}

// Each layout's "spans" reads as the cells beside it; those that do not
// fit the grid read as the even grid and are told.
TEST(ControlRoomJson, SpansReadBackOrAsTheEvenGrid) {
    const std::string a = R"({"serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "name": "A"})";
    // clang-format off
    const struct { std::string spans; int cells; const char* read; bool skipped; int withA = 0; } cases[] = {
        {"[[0,0,1,2],[1,0,1,1],[1,1,1,1]]", 3, "00/12 A..", false},
        {"[[1,1,1,1],[0,0,1,2],[1,0,1,1]]", 3, "00/12 A..", false, 1},  // any order
        {"[[0,0,1,1],[0,1,1,1],[1,0,1,1],[1,1,1,1]]", 4, "01/23 A...", false},
        {"[[0,0,2,2],[1,1,1,1],[1,0,1,1]]", 3, "01/23 A...", true},  // overlapping
        {"[[0,0,1,2],[1,0,1,1]]", 2, "01/23 A...", true},  // a slot left out
        {"[[0,0,1,2],[1,0,1,1],[1,1,1,1]]", 2, "01/23 A...", true},  // one cell too few
        {"[[0,0,1,2],[1,0,1,1],[1,1,1,\"1\"]]", 3, "01/23 A...", true}, {"{}", 3, "01/23 A...", true},
        {"[[0,0,1,3],[1,0,1,1],[1,1,1,1]]", 3, "01/23 A...", true},  // beyond the edge
    };
    // clang-format on
    for (const auto& c : cases) {
        std::string cells;
        for (int i = 0; i < c.cells; ++i) cells += (i ? ", " : "") + (i == c.withA ? a : "null");
        const std::string json =
            R"({"layouts": [{"name": "L", "rows": 2, "columns": 2, "cells": [)" + cells +
            R"(], "spans": )" + c.spans + "}]}";
        bool skipped = !c.skipped;
        const ControlRoom room = ControlRoom::fromJson(parse(json), nullptr, &skipped);
        ASSERT_EQ(room.layouts.size(), 1u) << c.spans;
        EXPECT_EQ(drawn(room.layouts[0]), c.read) << c.spans;
        EXPECT_EQ(skipped, c.skipped) << c.spans;
        // What is read is written so that it reads back the same.
        bool again = true;
        EXPECT_EQ(ControlRoom::fromJson(room.toJson(), nullptr, &again), room) << c.spans;
        EXPECT_FALSE(again) << c.spans;
    }
}

// Each camera's activity settings: what is written reads back the same, a
// file without them reads and writes as before, and what cannot be used as
// it stands is cut, dropped or skipped, and told.
TEST(ControlRoomJson, ActivitySettingsReadBackOrAreCut) {
    using S = CameraActivity::Sensitivity;
    const std::string cam = R"("serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "uri": "/c/1")";
    std::string zones17;
    for (int i = 0; i < 17; ++i) zones17 += std::string(i ? "," : "") + "[0, 0, 0.5, 0.5]";
    // clang-format off
    const struct { std::string entries; S sensitivity; std::vector<QRectF> zones; bool skipped; } cases[] = {
        {"{" + cam + R"(, "sensitivity": "off"})", S::Off, {}, false},
        {"{" + cam + R"(, "notify": true})", S::Normal, {}, false},
        {"{" + cam + R"(, "sensitivity": "low", "ignoreZones": [[0.1, 0.2, 0.3, 0.4]]})", S::Low, {{0.1, 0.2, 0.3, 0.4}}, false},
        {"{" + cam + R"(, "ignoreZones": [[0.5, -1, 2, 1.5], [0.2, 0.2, 0, 0.1], [1, 1, 1, 1], "x", [0, 0, 1]]})", S::Normal, {{0.5, 0, 0.5, 0.5}}, true},
        {"{" + cam + R"(, "sensitivity": "high", "ignoreZones": [)" + zones17 + "]}", S::High, std::vector<QRectF>(16, {0, 0, 0.5, 0.5}), true},
        // a second entry of the camera, the default, an unknown sensitivity, no server
        {"{" + cam + R"(, "sensitivity": "off"}, {)" + cam + R"(, "sensitivity": "low"})", S::Off, {}, true},
        {"{" + cam + R"(, "sensitivity": "off"}, {)" + cam + R"(}, 3)", S::Off, {}, true},
        {"{" + cam + R"(, "sensitivity": "off"}, {)" + cam + R"(, "sensitivity": 2}, {"uri": "/c/1", "sensitivity": "off"})", S::Off, {}, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        bool skipped = !c.skipped;
        const ControlRoom room =
            ControlRoom::fromJson(parse(R"({"activity": [)" + c.entries + "]}"), nullptr, &skipped);
        EXPECT_EQ(skipped, c.skipped) << c.entries;
        ASSERT_EQ(room.activity.size(), 1u) << c.entries;
        EXPECT_EQ(room.activity[0].sensitivity, c.sensitivity) << c.entries;
        EXPECT_EQ(room.activity[0].ignoreZones, c.zones) << c.entries;
        // Found again by its server and uri, or its name where the list has no uris.
        EXPECT_TRUE(room.activityOf(kA, "/c/1", "Renamed")) << c.entries;
        EXPECT_FALSE(room.activityOf(kA, "/c/2", {})) << c.entries;
        bool again = true;
        EXPECT_EQ(ControlRoom::fromJson(room.toJson(), nullptr, &again), room) << c.entries;
        EXPECT_FALSE(again) << c.entries;
    }
    // A file of today has none, and is written back without them.
    const ControlRoom today = ControlRoom::fromJson(parse(kRoom));
    EXPECT_TRUE(today.activity.empty());
    EXPECT_FALSE(today.toJson().find("activity"));
}

}  // namespace
