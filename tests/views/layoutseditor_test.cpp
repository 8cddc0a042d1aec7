// SPDX-License-Identifier: GPL-3.0-or-later
// The Edit Layouts dialog gives back the room it was given when nothing is
// edited: showing a layout or tour must not change it.

#include <QListWidget>

#include <gtest/gtest.h>

#include "layoutseditor.h"

TEST(LayoutsEditor, AnUneditedRoomComesBackUnchanged) {
    const QString server = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";
    ControlRoom room;
    room.layouts = {Layout{"Lobby", 1, 3, {std::nullopt, CameraRef{server, "/c/1", "Gate", 0}, {}}},
                    Layout{"Yard", 8, 1, std::vector<std::optional<CameraRef>>(8)}};
    room.tours = {Tour{"Night",
                       {TourStep{TourStep::Kind::Layout, "Yard", {}, 0, 3600},
                        TourStep{TourStep::Kind::ServerWall, {}, server, 4, 1}},
                       7}};
    LayoutsEditor editor(room, {{server, "Office"}});
    editor.selectLayout("Yard");
    EXPECT_EQ(editor.room(), room);
    // The wall step reads with its server's name and its page counted from 1.
    const auto* steps = editor.findChild<QListWidget*>("steps");
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->item(1)->text(), "Wall: Office, page 5 — 1 s");
}
