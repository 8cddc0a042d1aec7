// SPDX-License-Identifier: GPL-3.0-or-later
// Edit Layouts' Active Cameras part: what its checks write into the layout.

#include "activecamerasbox.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTreeWidget>

#include <gtest/gtest.h>

TEST(ActiveCamerasBox, ChecksWriteWhatIsWatched) {
    const QString a = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37",
                  gone = "00000000-0000-4000-8000-0000000000aa";
    const CameraRef gate{a, "/c/0", "Gate", 0}, yard{a, "/c/1", "Yard", 1},
        lost{a, "/c/9", "Old", 9};
    // clang-format off
    const struct { std::optional<ActiveCameras> before; const char* clicks;
                   std::optional<ActiveCameras> after; } cases[] = {
        {std::nullopt, "on", ActiveCameras{}},
        {ActiveCameras{}, "on", std::nullopt},
        {ActiveCameras{}, "yard hold", ActiveCameras{{yard}, {}, 31}},
        {ActiveCameras{{gate}, {}, 30}, "gate server", ActiveCameras{{}, {a}, 30}},
        // What is not listed here stays.
        {ActiveCameras{{lost, gate}, {gone}, 9}, "gate", ActiveCameras{{lost}, {gone}, 9}},
    };
    // clang-format on
    for (const auto& c : cases) {
        Layout layout;
        layout.active = c.before;
        ActiveCamerasBox box({{a, "Shop", {gate, yard}}});
        box.setEdited([&] { return &layout; });
        auto* tree = box.findChild<QTreeWidget*>("watchedCameras");
        for (const QString& click : QString(c.clicks).split(' ')) {
            QTreeWidgetItem* server = tree->topLevelItem(0);
            QTreeWidgetItem* item = click == "server" ? server
                                    : click == "gate" ? server->child(0)
                                    : click == "yard" ? server->child(1)
                                                      : nullptr;
            if (item)
                item->setCheckState(0, item->checkState(0) ? Qt::Unchecked : Qt::Checked);
            else if (click == "on")
                box.findChild<QCheckBox*>("activeCameras")->click();
            else
                box.findChild<QSpinBox*>("activeHold")->stepUp();
        }
        EXPECT_EQ(layout.active, c.after) << c.clicks;
    }
}
