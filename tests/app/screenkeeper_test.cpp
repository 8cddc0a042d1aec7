// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and the screens they belong to, on an offscreen desktop of two
// screens side by side ("left" and "right", 1280x720 each).

#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QWidget>

#include <gtest/gtest.h>

#include "layout.h"
#include "screenkeeper.h"
#include "testutil.h"

struct ScreenKeeperTestAccess {
    static void removed(ScreenKeeper& k, QScreen* s) { k.screenRemoved(s); }
    static void added(ScreenKeeper& k, QScreen* s) { k.screenAdded(s); }
};

namespace {

QScreen* named(const QString& name) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == name) return s;
    return nullptr;
}

}  // namespace

TEST(ScreenKeeper, AScreenNamedOrCountedElseThePrimary) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    const struct {
        const char* name;
        int index;
        const char* expected;
    } rows[] = {{"right", 0, "right"}, {"gone", 1, "right"}, {"gone", 5, "left"}, {"", -1, "left"}};
    for (const auto& r : rows)
        EXPECT_EQ(ScreenKeeper::screenFor(r.name, r.index)->name(), r.expected) << r.name;
    // Two X screens of one display both take their output's name.
    const QStringList twins{"screen", "screen"};
    for (const auto& [index, picked] : {std::pair{1, 1}, {0, 0}, {5, 0}})
        EXPECT_EQ(ScreenKeeper::pick(twins, "screen", index), picked) << index;
}

// A screen that goes away takes its windows to the other one; when it comes
// back they return where they were, in full screen if they were.
TEST(ScreenKeeper, WindowsLeaveAScreenThatGoesAndReturnWithIt) {
    for (const bool fullScreen : {false, true}) {
        QWidget window;
        bool full = false;
        const auto setFull = [&](bool on) { full = on; };
        ScreenKeeper keeper;
        keeper.keep(&window, setFull, [&] { return full; });
        const QRect home(1400, 100, 600, 400);
        ScreenKeeper::place(&window, named("right"), home, fullScreen, setFull);
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.screen() == named("right"); }));

        ScreenKeeperTestAccess::removed(keeper, named("right"));
        EXPECT_TRUE(waitUntil([&] { return window.screen() == named("left"); })) << fullScreen;
        EXPECT_EQ(full, fullScreen);

        ScreenKeeperTestAccess::added(keeper, named("right"));
        EXPECT_TRUE(waitUntil([&] { return window.geometry() == home; })) << fullScreen;
        EXPECT_EQ(window.screen(), named("right"));
        EXPECT_EQ(full, fullScreen);
    }
}

int main(int argc, char** argv) {
    // Two screens side by side, as a wall display's machine has.
    QTemporaryFile config;
    config.open();
    config.write(R"({"screens":[{"name":"left","x":0,"y":0,"width":1280,"height":720},)"
                 R"({"name":"right","x":1280,"y":0,"width":1280,"height":720}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toUtf8());
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
