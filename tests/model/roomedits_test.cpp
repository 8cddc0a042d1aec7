// SPDX-License-Identifier: GPL-3.0-or-later
// The layout and tour editing rules: unique names, copies' names, renames
// and removals reaching tour steps and windows, moves within a list.

#include "roomedits.h"

#include <gtest/gtest.h>

using namespace roomedits;

namespace {

const QString kServer = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";

// Layouts named by names, a tour "T" whose steps are "L:<layout>" or "W",
// and a window showing layout "Lobby" and one showing tour "T".
ControlRoom room(const QStringList& names, const QStringList& steps = {}) {
    ControlRoom r;
    for (const QString& name : names) r.layouts.push_back(Layout{name, 1, 1, {std::nullopt}});
    Tour tour{"T", {}, 30};
    for (const QString& s : steps)
        tour.steps.push_back(s == "W" ? TourStep{TourStep::Kind::ServerWall, {}, kServer, 1, 10}
                                      : TourStep{TourStep::Kind::Layout, s.mid(2), {}, 0, 10});
    r.tours.push_back(tour);
    for (const auto& [shows, name] : {std::pair(WindowState::Shows::Layout, "Lobby"),
                                      std::pair(WindowState::Shows::Tour, "T")}) {
        WindowState w;
        w.shows = shows;
        w.name = name;
        r.windows.push_back(w);
    }
    return r;
}

QString names(const ControlRoom& r) {
    QStringList out;
    for (const Layout& l : r.layouts) out << l.name;
    return out.join(',');
}

QString steps(const ControlRoom& r) {
    QStringList out;
    for (const TourStep& s : r.tours.at(0).steps)
        out << (s.kind == TourStep::Kind::Layout ? "L:" + s.layoutName : "W");
    return out.join(',');
}

}  // namespace

TEST(RoomEdits, NamesStayUniqueAndNotEmpty) {
    // clang-format off
    const struct { QString name; int self; NameCheck expected; } cases[] = {
        {"Gate", -1, NameCheck::Ok}, {"lobby", -1, NameCheck::Ok},
        {"", -1, NameCheck::Empty}, {"   ", 0, NameCheck::Empty},
        {"Lobby", -1, NameCheck::Taken}, {" Yard ", 0, NameCheck::Taken},
        {"Lobby", 0, NameCheck::Ok},  // its own name
    };
    // clang-format on
    const ControlRoom r = room({"Lobby", "Yard"});
    for (const auto& c : cases)
        EXPECT_EQ(checkLayoutName(r, c.name, c.self), c.expected) << c.name.toStdString();
    EXPECT_EQ(checkTourName(r, "T", -1), NameCheck::Taken);
}

TEST(RoomEdits, NewAndCopiedEntriesGetAFreeName) {
    // clang-format off
    const struct { QString wanted, expected; } cases[] = {
        {"Gate", "Gate"}, {"Lobby", "Lobby 2"}, {"Lobby copy", "Lobby copy 3"},
        {" Gate ", "Gate"}, {"", "1"},
    };
    // clang-format on
    const ControlRoom r = room({"Lobby", "Lobby copy", "Lobby copy 2"});
    for (const auto& c : cases) EXPECT_EQ(freeLayoutName(r, c.wanted), c.expected);

    ControlRoom edited = room({"Lobby", "Yard"});
    edited.layouts[0].resize(3, 2);
    EXPECT_EQ(duplicateLayout(edited, 0, "Yard"), 1);
    EXPECT_EQ(names(edited), "Lobby,Yard 2,Yard");
    EXPECT_EQ(edited.layouts[1].cells.size(), 6u) << "the copy keeps the grid";
    EXPECT_EQ(duplicateLayout(edited, 7, "X"), -1);
    EXPECT_EQ(addTour(edited, "T"), 1);
    EXPECT_EQ(edited.tours[1].name, "T 2");
}

TEST(RoomEdits, RenamesAndRemovalsReachTourStepsAndWindows) {
    using Edit = void (*)(ControlRoom&);
    // clang-format off
    const struct { const char* what; Edit edit; QString layouts, steps, window; } cases[] = {
        {"rename", [](ControlRoom& r) { renameLayout(r, 0, " Hall "); },
         "Hall,Yard", "L:Hall,W,L:Yard,L:Hall", "Hall"},
        {"rename to a taken name", [](ControlRoom& r) { renameLayout(r, 0, "Yard"); },
         "Lobby,Yard", "L:Lobby,W,L:Yard,L:Lobby", "Lobby"},
        {"rename to nothing", [](ControlRoom& r) { renameLayout(r, 0, ""); },
         "Lobby,Yard", "L:Lobby,W,L:Yard,L:Lobby", "Lobby"},
        {"rename another", [](ControlRoom& r) { renameLayout(r, 1, "Gate"); },
         "Lobby,Gate", "L:Lobby,W,L:Gate,L:Lobby", "Lobby"},
        {"remove", [](ControlRoom& r) { removeLayout(r, 0); }, "Yard", "W,L:Yard", "Lobby"},
        {"remove outside", [](ControlRoom& r) { removeLayout(r, 2); },
         "Lobby,Yard", "L:Lobby,W,L:Yard,L:Lobby", "Lobby"},
    };
    // clang-format on
    for (const auto& c : cases) {
        ControlRoom r = room({"Lobby", "Yard"}, {"L:Lobby", "W", "L:Yard", "L:Lobby"});
        c.edit(r);
        EXPECT_EQ(std::tuple(names(r), steps(r), r.windows[0].name),
                  std::tuple(c.layouts, c.steps, c.window))
            << c.what;
    }
    ControlRoom r = room({"Lobby"});
    EXPECT_EQ(renameTour(r, 0, "Night"), NameCheck::Ok);
    EXPECT_EQ(r.windows[1].name, "Night");
}

TEST(RoomEdits, MovesStayWithinTheList) {
    // clang-format off
    const struct { int index, by; QString order; int now; } cases[] = {
        {0, 1, "B,A,C", 1}, {2, -1, "A,C,B", 1}, {0, -1, "A,B,C", 0}, {2, 1, "A,B,C", 2},
        {5, -1, "A,B,C", 5}, {-1, 1, "A,B,C", -1},
    };
    // clang-format on
    for (const auto& c : cases) {
        ControlRoom r = room({"A", "B", "C"}, {"L:A", "L:B", "L:C"});
        EXPECT_EQ(moveLayout(r, c.index, c.by), c.now);
        EXPECT_EQ(names(r), c.order) << c.index << c.by;
        EXPECT_EQ(moveStep(r.tours[0], c.index, c.by), c.now);
        EXPECT_EQ(steps(r), "L:" + c.order.split(',').join(",L:")) << c.index << c.by;
    }
}
