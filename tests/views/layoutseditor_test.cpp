// SPDX-License-Identifier: GPL-3.0-or-later
// The Edit Layouts dialog gives back the room it was given when nothing is
// edited (showing a layout or tour must not change it), and tells which
// layouts it renamed.

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include "cellpicker.h"
#include "layoutseditor.h"
#include "namedlist.h"

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

// The dialog follows each layout through its edits: names swapped by way
// of a third, a layout deleted and a new one given its name, and a move
// leave exactly the two swapped as renamed.
TEST(LayoutsEditor, RenamesFollowEachLayoutThroughItsEdits) {
    ControlRoom room;
    for (const char* name : {"A", "B", "C"}) room.layouts.push_back(Layout{name});
    LayoutsEditor editor(room, {});
    QListWidget* list = editor.findChild<NamedList*>("layouts")->list();
    const auto press = [&](int row, const QString& button) {
        list->setCurrentRow(row);
        for (auto* b : list->parentWidget()->findChildren<QPushButton*>())
            if (b->text() == button) b->click();
    };
    for (auto [row, name] : {std::pair(0, "T"), std::pair(1, "A"), std::pair(0, "B")})
        list->item(row)->setText(name);
    press(2, "Delete");
    press(0, "New");
    list->item(2)->setText("C");
    press(0, "Move Down");
    EXPECT_EQ(editor.renames().layouts, (std::map<QString, QString>{{"A", "B"}, {"B", "A"}}));
    EXPECT_TRUE(editor.renames().tours.empty());
}

// A template, then a click and a shift+click on the cells' picture and
// Join Cells, then Split Cell on the joined cell: each step's layout, its
// cameras kept in reading order.
TEST(LayoutsEditor, TemplateJoinAndSplitReshapeTheLayout) {
    const QString server = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";
    ControlRoom room;
    room.layouts = {Layout{"L", 2, 2, {}}};
    for (const char* name : {"A", "B", "C", "D"})
        room.layouts[0].cells.push_back(CameraRef{server, {}, name, -1});
    LayoutsEditor editor(room, {});
    auto* shape = editor.findChild<QComboBox*>("template");
    auto* cells = editor.findChild<CellPicker*>("cells");
    ASSERT_TRUE(shape && cells);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    // The middle of slot row, column of a 3x3 grid on the picture.
    const auto slot = [&](int row, int column) {
        return QPoint((2 * column + 1) * cells->width() / 6, (2 * row + 1) * cells->height() / 6);
    };
    const auto press = [&](const QString& button) {
        for (auto* b : editor.findChildren<QPushButton*>())
            if (b->text() == button && b->isEnabled()) b->click();
    };
    const auto names = [&] {
        QString out;
        const ControlRoom edited = editor.room();
        for (const auto& c : edited.layouts[0].cells) out += c ? c->cameraName : ".";
        return out;
    };
    // clang-format off
    const struct { std::function<void()> step; const char* shape; const char* cameras; } steps[] = {
        {[&] { shape->setCurrentText("3x3"); }, "3x3", "ABCD....."},
        {[&] { QTest::mouseClick(cells, Qt::LeftButton, {}, slot(0, 0));
               QTest::mouseClick(cells, Qt::LeftButton, Qt::ShiftModifier, slot(1, 1));
               press("Join Cells"); }, "1+5", "AC...."},
        {[&] { press("Split Cell"); }, "3x3", "A.C......"},
    };
    // clang-format on
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(editor.room().layouts[0].templateName(), s.shape) << &s - steps;
        EXPECT_EQ(names(), s.cameras) << &s - steps;
        EXPECT_EQ(shape->currentText(), s.shape) << &s - steps;
    }
}
