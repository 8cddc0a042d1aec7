// SPDX-License-Identifier: GPL-3.0-or-later
// The camera panel's rows: what a dragged row carries, what survives a new
// list of servers, how a server row counts its live cameras, what a camera
// row says of its state, and how the search filters and opens cameras.

#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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

TEST(CameraPanel, ServerRowsCountTheirLiveCamerasInEnglish) {
    using Seen = PanelServer::Camera::Seen;
    // clang-format off
    const struct { std::vector<Seen> cameras; bool down; QString state; QString shown; } cases[] = {
        {{}, false, "", "0 cameras"},
        {{}, false, "Loading…", "Loading…"},
        {{Seen::Live}, false, "", "1 of 1 camera live"},
        {{Seen::Live, Seen::Stale, Seen::No, Seen::Live}, false, "", "2 of 4 cameras live"},
        {{Seen::Waiting, Seen::No}, false, "", "0 of 2 cameras live"},
        // The last list known during an outage: none of it is live.
        {{Seen::Live, Seen::Live, Seen::No, Seen::No}, true, "Server is not available",
         "Server is not available · 0 of 4 cameras live"},
    };
    // clang-format on
    for (const auto& c : cases) {
        PanelServer s = server(kA, "Office", QStringList(c.cameras.size(), "Cam"), c.state);
        s.unavailable = c.down;
        for (std::size_t i = 0; i < c.cameras.size(); ++i) s.cameras[i].seen = c.cameras[i];
        CameraPanel panel;
        panel.setServers({s});
        EXPECT_EQ(panel.tree()->topLevelItem(0)->text(1), c.shown) << c.shown.toStdString();
    }
}

TEST(CameraPanel, CameraRowsTellTheirStateInWordsAndKeepTheirRows) {
    using Seen = PanelServer::Camera::Seen;
    // clang-format off
    const struct { bool down; Seen seen; qint64 ageMs; bool inLayout; QString words; } cases[] = {
        {true, Seen::Live, 0, true, "Server is not available · In the shown layout"},
        {true, Seen::No, 0, false, "Server is not available"},
        {false, Seen::Live, 300, false, "Live"},
        {false, Seen::Live, 300, true, "Live · In the shown layout"},
        {false, Seen::Stale, 12'900, false, "No picture for 12 s"},
        {false, Seen::Waiting, 500, true, "Loading… · In the shown layout"},
        {false, Seen::No, 0, false, ""},
    };
    // clang-format on
    CameraPanel panel;
    panel.setServers({server(kA, "Office", {"Gate"})});
    QAbstractItemModel* model = panel.tree()->model();
    const QPersistentModelIndex kept = model->index(0, 0, model->index(0, 0));
    for (const auto& c : cases) {
        PanelServer s = server(kA, "Office", {"Gate"});
        s.unavailable = c.down;
        s.cameras[0] = {"Gate", s.cameras[0].ref, c.seen, c.ageMs, c.inLayout};
        panel.setServers({s});
        ASSERT_TRUE(kept.isValid()) << "a new state makes no row anew (a drag goes on)";
        const QTreeWidgetItem* row = panel.tree()->topLevelItem(0)->child(0);
        EXPECT_EQ(row->text(1), c.words);
        EXPECT_EQ(row->icon(0).isNull(), c.words.isEmpty()) << c.words.toStdString();
        EXPECT_TRUE(c.words.isEmpty() || row->toolTip(0).contains(c.words)) << "not colour alone";
    }
}

TEST(CameraPanel, TheSearchFiltersCamerasByNameEnterOpensTheFirstEscapeClears) {
    CameraPanel panel;
    QSignalSpy activated(&panel, &CameraPanel::cameraActivated);
    QSignalSpy left(&panel, &CameraPanel::searchLeft);
    // Each refresh brings the other list: Depot's cameras come and go.
    std::vector<PanelServer> lists[2] = {{server(kA, "Office", {"Gate", "Yard", "Back gate"}),
                                          server(kB, "Shop", {"Door", "Till"}),
                                          server("c", "Depot", {}, "Loading…")}};
    lists[1] = lists[0];
    lists[1].back() = server("c", "Depot", {"Pump"});
    int refreshes = 0;
    panel.setServers(lists[0]);
    const auto shown = [&] {
        QStringList rows;
        for (QTreeWidgetItemIterator it(panel.tree(), QTreeWidgetItemIterator::NotHidden); *it;
             ++it)
            rows << ((*it)->parent() && !(*it)->parent()->isExpanded() ? "+" : "") + (*it)->text(0);
        return rows.join(",");
    };
    // clang-format off
    const struct { QString typed; QString rows; QString opened; } cases[] = {
        {"GATE", "Office,Gate,Back gate", "Gate"},
        {"o", "Shop,Door", "Door"},  // not Office: only cameras are searched
        {"till", "Shop,Till", "Till"},
        {"zz", "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        activated.clear();
        panel.searchField()->clear();
        QTest::keyClicks(panel.searchField(), c.typed);
        EXPECT_EQ(shown(), c.rows) << c.typed.toStdString();
        panel.setServers(lists[++refreshes % 2]);
        EXPECT_EQ(shown(), c.rows) << c.typed.toStdString() << " after a refresh";
        QTest::keyClick(panel.searchField(), Qt::Key_Return);
        EXPECT_EQ(activated.size() ? activated[0][0].value<CameraRef>().cameraName : "", c.opened);
    }
    QTest::keyClick(panel.searchField(), Qt::Key_Escape);
    EXPECT_EQ(panel.searchField()->text(), "");
    EXPECT_TRUE(shown().startsWith("Office,Gate,Yard,Back gate,Shop,Door,Till,Depot"));
    EXPECT_EQ(left.size(), 0);
    QTest::keyClick(panel.searchField(), Qt::Key_Escape);
    EXPECT_EQ(left.size(), 1) << "a second Escape leaves the search";
}
