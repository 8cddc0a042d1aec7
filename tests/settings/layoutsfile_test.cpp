// SPDX-License-Identifier: GPL-3.0-or-later
// The control room's file beside settings.dat, against real files.

#include "layoutsfile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "testutil.h"

namespace {

// The alerts' texts: none, or the one given. Compared as text: one literal
// may stand at other addresses in other files.
std::vector<std::string> alerts(const char* text) {
    return text ? std::vector<std::string>{text} : std::vector<std::string>{};
}
std::vector<std::string> taken(LayoutsFile& store) {
    const std::vector<const char*> texts = store.takeAlerts();
    return {texts.begin(), texts.end()};
}

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
        {"empty", "", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        ASSERT_TRUE(writeAt(folder() + "/settings.dat", "x"));
        c.bytes.isNull() ? void(QDir().mkpath(file())) : void(writeAt(file(), c.bytes));
        auto store = LayoutsFile::openInFolder(folder());
        EXPECT_TRUE(store->room() == ControlRoom{});
        EXPECT_EQ(taken(*store), alerts(c.alert ? LayoutsFile::kUnreadableAlert : nullptr));
        EXPECT_TRUE(store->takeAlerts().empty());
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
    EXPECT_FALSE(store->save());
    EXPECT_FALSE(store->savePending()) << "never tried again";
    EXPECT_TRUE(store->takeAlerts().empty());
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

// Writes fail while this lives, as on a full disk: a file may grow to
// bytes + 16 at most.
struct FullDisk {
    explicit FullDisk(qint64 bytes) {
        std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the process
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{rlim_t(bytes) + 16, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};

// A change whose saves fail stays pending: it is written by a later try
// once writes work again, or at the latest when the store ends (quit).
TEST_F(LayoutsStore, AFailedSaveIsKeptUntilItIsWritten) {
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit ? "at quit" : "retried");
        QDir(folder()).removeRecursively();
        auto store = LayoutsFile::openInFolder(folder());
        ASSERT_TRUE(store->save());
        const QByteArray before = readAll(file());
        {
            const FullDisk full(before.size());
            store->room().layouts.push_back(Layout{QString(5000, u'k')});
            EXPECT_FALSE(store->save());
            store->saveSoon();
            EXPECT_FALSE(store->save());
        }
        EXPECT_EQ(taken(*store), alerts(LayoutsFile::kSaveFailedAlert)) << "said once";
        EXPECT_TRUE(store->savePending());
        EXPECT_EQ(readAll(file()), before);
        const auto kept = [&] {
            return LayoutsFile::openInFolder(folder())->room().layouts.size();
        };
        if (quit)
            store.reset();
        else
            EXPECT_TRUE(waitUntil(kept, 10000)) << "tried again by itself";
        EXPECT_EQ(kept(), 1u);
        if (store) EXPECT_FALSE(store->savePending() || !store->takeAlerts().empty());
    }
}

// Entries that cannot be used are left out, but the file as it was is kept
// beside the new one at the first save; a file as the store writes it
// loads whole, with no copy.
TEST_F(LayoutsStore, WhatLoadingLeftOutIsKeptInACopy) {
    const std::string id = R"("serverId": "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37")";
    const std::string lobby = R"({"name": "Lobby", "rows": 1, "columns": 1, "cells": [null]})";
    // clang-format off
    const struct { const char* what; std::string json; bool skipped; } cases[] = {
        {"valid", R"({"layouts": [)" + lobby + R"(], "windows": [{"shows": "serverWall", )" + id +
            R"(, "screen": "", "screenIndex": 0, "fullScreen": false}]})", false},
        {"rows of text", R"({"layouts": [)" + lobby + R"(, {"name": "Hall", "rows": "3",
            "columns": 2}]})", true},
        {"a bad server identity", R"({"layouts": [{"name": "Lobby", "rows": 1, "columns": 1,
            "cells": [{"serverId": "server-1"}]}]})", true},
        {"a window without a target", R"({"layouts": [)" + lobby + R"(],
            "windows": [{"shows": "layout"}]})", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        ASSERT_TRUE(writeAt(file(), QByteArray::fromStdString(c.json)));
        auto store = LayoutsFile::openInFolder(folder());
        EXPECT_EQ(taken(*store), alerts(c.skipped ? LayoutsFile::kSkippedAlert : nullptr));
        EXPECT_EQ(readAll(file()), c.json.c_str()) << "untouched until the first save";
        ASSERT_TRUE(store->save());
        ASSERT_TRUE(store->save());
        EXPECT_EQ(readAll(file() + ".corrupt"), c.skipped ? c.json.c_str() : "");
        EXPECT_FALSE(QFile::exists(file() + ".corrupt.1")) << "one copy";
        auto again = LayoutsFile::openInFolder(folder());
        EXPECT_EQ(again->room().layouts.size(), 1u);
        EXPECT_TRUE(again->takeAlerts().empty()) << "what is written back reads whole";
    }
}

}  // namespace
