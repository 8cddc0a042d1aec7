// SPDX-License-Identifier: GPL-3.0-or-later
// The camera panel's rows: what a dragged row carries, what survives a new
// list of servers, and how a server row counts its cameras.

#include <QMimeData>
#include <QSignalSpy>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "cameradrag.h"
#include "camerapanel.h"

namespace {

const QString kA = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";
const QString kB = "0b7d3e21-94c6-4f0a-8e5d-2c1b9a7f6e43";

PanelServer server(const QString& id, const QString& name, const QStringList& cameras,
                   const QString& state = {}) {
    PanelServer s{id, name, state, {}};
    for (int i = 0; i < cameras.size(); ++i)
        s.cameras.push_back({cameras[i], CameraRef{id, "/c/" + cameras[i], cameras[i], i}});
    return s;
}

}  // namespace

TEST(CameraPanel, CameraRowsDragTheirCameraServerRowsNothing) {
    CameraPanel panel;
    panel.setServers({server(kA, "Office", {"Gate", "Yard"}), server(kB, "Shop", {}, "Loading…")});
    QAbstractItemModel* model = panel.tree()->model();
    const QModelIndex office = model->index(0, 0);
    // clang-format off
    const struct { QModelIndex row; std::optional<CameraRef> carried; QString text; } cases[] = {
        {model->index(1, 0, office), CameraRef{kA, "/c/Yard", "Yard", 1}, "Yard"},
        {office, std::nullopt, ""},
        {model->index(1, 0), std::nullopt, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        const std::unique_ptr<QMimeData> data(model->mimeData({c.row}));
        EXPECT_EQ(data ? cameradrag::camera(*data) : std::nullopt, c.carried);
        EXPECT_EQ(data ? data->text() : QString(), c.text);
        EXPECT_EQ(bool(model->flags(c.row) & Qt::ItemIsDragEnabled), c.carried.has_value());
    }
    EXPECT_TRUE(model->supportedDragActions() & Qt::CopyAction) << "a drag needs an action";
    EXPECT_EQ(panel.tree()->topLevelItem(1)->text(1), "Loading…");
}

TEST(CameraPanel, ExpansionAndSelectionSurviveANewList) {
    CameraPanel panel;
    QSignalSpy expanded(&panel, &CameraPanel::serverExpanded);
    QSignalSpy activated(&panel, &CameraPanel::cameraActivated);
    panel.setServers({server(kA, "Office", {"Gate", "Yard"}), server(kB, "Shop", {"Till"})});
    QTreeWidget* tree = panel.tree();
    tree->topLevelItem(1)->setExpanded(true);
    tree->setCurrentItem(tree->topLevelItem(1)->child(0));
    EXPECT_EQ(expanded.value(0).value(0).toString(), kB);
    // The servers reordered, one more camera at Shop's front.
    panel.setServers({server(kB, "Shop", {"Door", "Till"}), server(kA, "Office", {"Gate"})});
    EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
    EXPECT_FALSE(tree->topLevelItem(1)->isExpanded());
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0)->child(1));
    EXPECT_EQ(expanded.size(), 1) << "a kept expansion asks for nothing";
    emit tree->itemActivated(tree->currentItem(), 0);
    emit tree->itemActivated(tree->topLevelItem(1), 0);
    ASSERT_EQ(activated.size(), 1) << "a server row opens nothing";
    EXPECT_EQ(activated.value(0).value(0).value<CameraRef>(),
              (CameraRef{kB, "/c/Till", "Till", 1}));
}

TEST(CameraPanel, ServerRowsCountTheirCamerasInEnglish) {
    // clang-format off
    const struct { QStringList cameras; QString shown; } cases[] = {
        {{}, "0 cameras"},
        {{"Gate"}, "1 camera"},
        {{"Gate", "Yard"}, "2 cameras"},
        {{"A", "B", "C", "D", "E"}, "5 cameras"},
    };
    // clang-format on
    for (const auto& c : cases) {
        CameraPanel panel;
        panel.setServers({server(kA, "Office", c.cameras)});
        EXPECT_EQ(panel.tree()->topLevelItem(0)->text(1), c.shown) << c.cameras.size();
    }
}
