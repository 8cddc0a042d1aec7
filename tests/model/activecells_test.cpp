// SPDX-License-Identifier: GPL-3.0-or-later
// Which camera each cell of an Active Cameras layout shows, on a fake
// clock, and the layout's JSON form.

#include "activecells.h"
#include "layout.h"

#include <gtest/gtest.h>

#include <random>

#include "TXJsonParser.h"

namespace {

// Each camera is a letter; a cell's text is its camera, "." for none.
std::string cellsOf(const ActiveCells& a) {
    std::string out;
    for (const QString& k : a.cells()) out += k.isEmpty() ? '.' : k.at(0).toLatin1();
    return out;
}

TEST(ActiveCells, CellsFollowWhatMoves) {
    // Steps: at t, cameras go active ("x+") or quiet ("x-"); then the cells.
    struct Step {
        std::int64_t t;
        const char* events;
        const char* cells;
    };
    // clang-format off
    const struct { const char* defaults; std::int64_t holdMs; std::vector<Step> steps; } cases[] = {
        // Stable cells, the hold, and the defaults back after it.
        {"ab", 10000, {{0, "x+", "xb"}, {1000, "y+", "xy"}, {3000, "x-", "xy"},
                       {12999, "", "xy"}, {13000, "", "ay"}, {20000, "y-", "ay"},
                       {30000, "", "ab"}}},
        // A default camera that moves keeps its own cell; the others go first.
        {"ab", 10000, {{0, "b+", "ab"}, {500, "x+", "xb"}}},
        // An empty cell goes first, then one showing its default, then one
        // whose camera is held.
        {"a.b", 10000, {{0, "x+", "axb"}, {100, "y+", "yxb"}}},
        {"ab", 10000, {{0, "x+", "xb"}, {5000, "x-", "xb"}, {6000, "y+", "xy"}}},
        // The one quiet the longest gives its cell.
        {"ab", 10000, {{0, "x+ y+", "xy"}, {3000, "y-", "xy"}, {4000, "x-", "xy"},
                       {5000, "z+", "xz"}}},
        // More active than cells: the latest to start win.
        {"ab", 10000, {{0, "x+", "xb"}, {1000, "y+", "xy"}, {5000, "z+", "zy"},
                       {9000, "x-", "zy"}}},
        {"ab", 10000, {{0, "b+", "ab"}, {500, "x+", "xb"}, {800, "y+", "xy"}}},
        // Those active before those held, then the latest to go quiet.
        {".", 10000, {{0, "x+", "x"}, {3000, "y+", "y"}, {3500, "y-", "y"}, {5000, "", "x"},
                      {6000, "z+", "x"}, {7000, "", "z"}, {7500, "x- z-", "z"},
                      {17499, "", "z"}, {17500, "", "."}}},
        // A change due within 2 s of the last waits; a free cell that may
        // change now is taken first.
        {"ab", 0, {{0, "x+", "xb"}, {500, "x-", "xb"}, {1999, "", "xb"}, {2000, "", "ab"},
                   {2500, "y+", "ay"}, {4500, "y- z+", "zb"}}},
        {"ab", 0, {{0, "x+", "xb"}, {100, "y+", "xy"}, {200, "x- y-", "xy"},
                   {1000, "z+", "xy"}, {2000, "", "zy"}, {2100, "", "zb"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::vector<QString> defaults;
        for (const char* d = c.defaults; *d; ++d)
            defaults.push_back(*d == '.' ? QString() : QString(QChar(*d)));
        ActiveCells a(defaults, c.holdMs);
        for (const Step& s : c.steps) {
            for (const QString& e : QString(s.events).split(' ', Qt::SkipEmptyParts))
                a.setActive(e.left(1), e.endsWith('+'), s.t);
            a.update(s.t);
            EXPECT_EQ(cellsOf(a), s.cells) << c.defaults << " at " << s.t;
        }
    }
}

// Whatever happens, no cell changes twice within 2 s, no camera shows in
// two cells, and what a cell shows is its default or a camera still wanted;
// the next change is never later than wakeMs() says.
TEST(ActiveCells, AtMostOneChangeEvery2sPerCell) {
    std::mt19937 random(7);
    ActiveCells a({"a", "b", "c"}, 4000);
    std::vector<std::int64_t> changed(3, -ActiveCells::kMinChangeMs);
    std::vector<QString> before = a.cells();
    std::map<QString, std::int64_t> quietAt;
    std::set<QString> active;
    int changes = 0;
    for (std::int64_t t = 0; t < 600'000; t += 100) {
        const bool event = random() % 4 == 0;
        if (event) {
            const QString key(QChar(char16_t(u'a' + random() % 8)));
            const bool on = !active.count(key);
            a.setActive(key, on, t);
            if (on)
                active.insert(key);
            else
                active.erase(key), quietAt[key] = t;
        }
        const std::int64_t wake = a.wakeMs();
        a.update(t);
        if (!event && t < wake) ASSERT_EQ(a.cells(), before) << t;
        std::set<QString> seen;
        for (std::size_t i = 0; i < 3; ++i) {
            const QString& k = a.cells()[i];
            ASSERT_TRUE(seen.insert(k).second) << k.toStdString() << " twice at " << t;
            ASSERT_TRUE(k == a.defaults()[i] || active.count(k) || t < quietAt[k] + 4000) << t;
            if (k == before[i]) continue;
            ASSERT_GE(t - changed[i], ActiveCells::kMinChangeMs) << "cell " << i << " at " << t;
            changed[i] = t;
            ++changes;
        }
        before = a.cells();
    }
    EXPECT_GT(changes, 200);
}

tx::JsonValue parsed(const std::string& text) {
    return tx::TXJsonParser().fragmentWithString(text).value();
}

const std::string kActiveServer = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";

TEST(ActiveCamerasJson, ReadBackClampedOrAsBefore) {
    const std::string layout = R"({"layouts": [{"name": "A", "rows": 1, "columns": 1,
        "cells": [null])";
    const std::string ref = R"({"serverId": ")" + kActiveServer + R"(", "uri": "/c/)";
    std::string many;
    for (int i = 0; i <= 64; ++i) many += (i ? ", " : "") + ref + std::to_string(i) + R"("})";
    // clang-format off
    const struct { std::string active; int cameras, servers, hold; bool skipped; } cases[] = {
        {"", -1, 0, 0, false},  // a file from before
        {R"(, "active": {"cameras": [)" + ref + R"(1"}], "servers": [")" + kActiveServer +
             R"("], "holdSeconds": 45, "notify": true})", 1, 1, 45, false},
        {R"(, "active": {})", 0, 0, 30, false},
        {R"(, "active": {"holdSeconds": 1})", 0, 0, 5, true},
        {R"(, "active": {"holdSeconds": 1e9})", 0, 0, 120, true},
        {R"(, "active": {"holdSeconds": "9"})", 0, 0, 30, true},
        {R"(, "active": {"cameras": [)" + many + "]}", 64, 0, 30, true},
        {R"(, "active": {"cameras": [)" + ref + R"(1"}, 3, )" + ref + R"(1"}]})", 1, 0, 30, true},
        {R"(, "active": {"servers": ["x", 3, ")" + kActiveServer + R"(", ")" + kActiveServer + R"("]})", 0, 1, 30,
         true},
        {R"(, "active": 3)", -1, 0, 0, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        bool skipped = !c.skipped;
        const ControlRoom room =
            ControlRoom::fromJson(parsed(layout + c.active + "}]}"), nullptr, &skipped);
        ASSERT_EQ(room.layouts.size(), 1u) << c.active;
        const auto& active = room.layouts[0].active;
        EXPECT_EQ(skipped, c.skipped) << c.active;
        ASSERT_EQ(active.has_value(), c.cameras >= 0) << c.active;
        bool again = true;
        EXPECT_EQ(ControlRoom::fromJson(room.toJson(), nullptr, &again), room) << c.active;
        EXPECT_FALSE(again) << c.active;
        if (!active) continue;
        EXPECT_EQ(std::ssize(active->cameras), c.cameras) << c.active;
        EXPECT_EQ(std::ssize(active->servers), c.servers) << c.active;
        EXPECT_EQ(active->holdSeconds, c.hold) << c.active;
        EXPECT_EQ(active->notify, c.active.find("notify") != std::string::npos) << c.active;
    }
}

// Which cameras a layout watches, for its notifications: every camera of a
// chosen server, or a chosen camera by its uri (else its name).
TEST(ActiveCameras, WatchesChosenServersAndCameras) {
    const QString other = "9e0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";
    ActiveCameras byServer, byCamera;
    byServer.servers = {QString::fromStdString(kActiveServer)};
    byCamera.cameras = {CameraRef{QString::fromStdString(kActiveServer), "/c/1", "Gate", 1}};
    const struct {
        const ActiveCameras& active;
        QString server, uri, name;
        bool watched;
    } rows[] = {
        {byServer, QString::fromStdString(kActiveServer), "/c/7", "Yard", true},
        {byServer, other, "/c/7", "Yard", false},
        {byCamera, QString::fromStdString(kActiveServer), "/c/1", "Renamed", true},
        {byCamera, QString::fromStdString(kActiveServer), "/c/2", "Gate", false},
        {byCamera, other, "/c/1", "Gate", false},
        {byServer, {}, "/c/1", "Gate", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.active.watches(r.server, r.uri, r.name), r.watched)
            << r.server.toStdString() << r.uri.toStdString();
}

}  // namespace
