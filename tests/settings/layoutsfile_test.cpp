// SPDX-License-Identifier: GPL-3.0-or-later
// The control room's file beside settings.dat, against real files.

#include "layoutsfile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "testutil.h"

namespace {

class LayoutsStore : public ::testing::Test {
protected:
    QString folder() const { return tmp.path() + "/Zorvan"; }
    QString file() const { return folder() + "/layouts.json"; }
    QTemporaryDir tmp;
};

// Anything that is not a JSON object starts empty, is kept aside at the
// first save (an empty file aside), and is said once; settings.dat is
// never touched.
TEST_F(LayoutsStore, UnreadableFilesAreKeptAsideAndSaidOnce) {
    // clang-format off
    const struct { const char* what; QByteArray bytes; bool alert; } cases[] = {
        {"not JSON", "{\"layouts\": [", true}, {"a list", "[{\"name\": \"x\"}]", true},
        {"binary", QByteArray("\x00\xff{}", 4), true}, {"a folder", QByteArray(), true},
        {"empty", "", false}, {"odd members", R"({"layouts": 5, "tours": [{"name": 1}]})", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        ASSERT_TRUE(writeAt(folder() + "/settings.dat", "x"));
        c.bytes.isNull() ? void(QDir().mkpath(file())) : void(writeAt(file(), c.bytes));
        auto store = LayoutsFile::openInFolder(folder());
        EXPECT_TRUE(store->room() == ControlRoom{});
        EXPECT_EQ(store->takeUnreadableAlert(), c.alert);
        EXPECT_FALSE(store->takeUnreadableAlert());
        EXPECT_EQ(readAll(file()), c.bytes) << "untouched until the first save";
        store->room().layouts.push_back(Layout{"New"});
        ASSERT_TRUE(store->save());
        EXPECT_EQ(readAll(file() + ".corrupt"), c.alert ? c.bytes : QByteArray());
        EXPECT_EQ(LayoutsFile::openInFolder(folder())->room().layouts.size(), 1u);
        EXPECT_EQ(readAll(folder() + "/settings.dat"), "x");
    }
}

// A link to a FIFO (like one to /dev/null) is never read; that it is never
// moved or replaced is SettingsFile's, checked by the settings store's test.
TEST_F(LayoutsStore, NeverReplacesAFifo) {
    const QString fifo = tmp.path() + "/fifo";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder()) && QFile::link(fifo, file()));
    auto store = LayoutsFile::openInFolder(folder());
    EXPECT_FALSE(store->unreadableAlertPending());
    EXPECT_FALSE(store->save());
}

// Quick changes are written together, and the last one is never lost.
TEST_F(LayoutsStore, QuickChangesAreWrittenTogether) {
    auto store = LayoutsFile::openInFolder(folder());
    store->room().layouts = {Layout{"-"}};
    ASSERT_TRUE(store->save());
    const auto change = [&](const char* name) {
        store->room().layouts = {Layout{name}};
        store->saveSoon();
    };
    const auto onDisk = [&] { return LayoutsFile::openInFolder(folder())->room().layouts[0].name; };
    change("b");  // the file was just written: waits for its turn (unless this thread stalled)
    if (store->savePending()) EXPECT_EQ(onDisk(), "-");
    EXPECT_TRUE(waitUntil([&] { return onDisk() == "b"; }, 10000));
    change("c");
    store.reset();
    EXPECT_EQ(onDisk(), "c");
}

}  // namespace
