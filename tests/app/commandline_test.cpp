// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's command line: what each accepted form asks for, and that
// every misuse is refused.

#include <gtest/gtest.h>

#include "commandline.h"

namespace {

// What a parse asked for, in one line; "error" when it refused.
QString asked(const QStringList& args) {
    const CommandLine c = CommandLine::parse(QStringList{"zorvan"} + args);
    if (!c.error.isNull()) return "error";
    static const char* kShows[] = {"", "layout ", "tour ", "server "};
    QStringList parts;
    if (c.shows != CommandLine::Shows::Nothing) parts << kShows[int(c.shows)] + c.name;
    if (!c.camera.isNull()) parts << "camera " + c.camera;
    if (!c.screen.isNull()) parts << "screen " + c.screen + " #" + QString::number(c.screenIndex());
    if (c.fullScreen) parts << "full";
    if (c.newWindow) parts << "new";
    if (c.help) parts << "help";
    if (c.version) parts << "version";
    EXPECT_EQ(c.asksSomething(), !parts.isEmpty()) << parts.join(", ").toStdString();
    return parts.join(", ");
}

}  // namespace

TEST(CommandLine, AcceptedFormsAndEachMisuse) {
    const struct {
        QStringList args;
        const char* expected;
    } rows[] = {
        {{}, ""},
        {{"--layout", "Front hall"}, "layout Front hall"},
        {{"--layout=Front hall"}, "layout Front hall"},
        {{"--layout=-odd"}, "layout -odd"},
        {{"--tour", "Night"}, "tour Night"},
        {{"--server", "HQ", "--camera", "Gate 2"}, "server HQ, camera Gate 2"},
        {{"--camera=Gate", "--server=HQ"}, "server HQ, camera Gate"},
        {{"--new-window", "--screen", "12", "--full-screen", "--tour=T"},
         "tour T, screen 12 #12, full, new"},
        {{"--screen=HDMI-1"}, "screen HDMI-1 #-1"},
        {{"--screen=+1"}, "screen +1 #-1"},
        {{"-platform", "xcb", "--layout", "L", "-style=fusion", "--reverse"}, "layout L"},
        {{"-h"}, "help"},
        {{"--help", "--no-such"}, "help"},
        {{"--version"}, "version"},
        {{"--layout"}, "error"},
        {{"--layout", "--full-screen"}, "error"},
        {{"--screen", "1", "--screen", "2"}, "error"},
        {{"--no-such"}, "error"},
        {{"--"}, "error"},
        {{"Front hall"}, "error"},
        {{"--layout", "A", "extra"}, "error"},
        {{"--full-screen=yes"}, "error"},
        {{"--layout", "A", "--tour", "B"}, "error"},
        {{"--camera", "Gate"}, "error"},
        {{"--layout", "A", "--camera", "Gate"}, "error"},
        {{"--no-such", "--help"}, "error"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(asked(row.args), row.expected) << row.args.join(' ').toStdString();
}

// Names are found as people type them: exactly, else in any case where that
// finds one name; the error of an unknown one lists those there are.
TEST(CommandLine, FindsNamesAsTypedAndListsTheKnownOnes) {
    const QStringList names{"Lobby", "Night shift", "LOBBY", "Yard"};
    const struct {
        const char* typed;
        qsizetype found;
    } rows[] = {
        {"Lobby", 0},  {"LOBBY", 2},  {"night SHIFT", 1},
        {"yard", 3},   {"lobby", -1},  // two match in another case, neither exactly
        {"Night", -1}, {"", -1},
    };
    for (const auto& r : rows) EXPECT_EQ(CommandLine::findName(names, r.typed), r.found) << r.typed;

    EXPECT_EQ(
        CommandLine::unknownName("No layout named \"x\".", "Layouts: %1.", {"Lobby", "Night"}),
        "No layout named \"x\". Layouts: Lobby, Night.");
    EXPECT_EQ(CommandLine::unknownName("No tour named \"x\".", "Tours: %1.", {}),
              "No tour named \"x\".");
    QStringList many;
    for (int i = 0; i < 1000; ++i) many << QString::number(i);
    EXPECT_TRUE(CommandLine::unknownName("", "%1", many).endsWith("18, 19, …"));
}
