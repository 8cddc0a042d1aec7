// SPDX-License-Identifier: GPL-3.0-or-later
// The control room's file beside settings.dat, against real files.

#include "layoutsfile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "settings.h"
#include "testutil.h"

namespace {

class LayoutsStore : public ::testing::Test {
protected:
    QString folder() const { return tmp.path() + "/Zorvan"; }
    QString file() const { return folder() + "/layouts.json"; }
    QTemporaryDir tmp;
};

// A layout's cell names its server by identity: a rename, a new address and
// port and a reordered list, each saved and read back, keep it there.
TEST_F(LayoutsStore, CellsKeepTheirServerAcrossRunsAndChanges) {
    auto settings = Settings::createInFolder(folder(), "en");
    const auto b = CamServer::fromDictionary({{"name", "B"}, {"host", "10.0.0.2"}});
    settings->updateServer(b);
    auto store = LayoutsFile::openInFolder(folder());
    EXPECT_TRUE(store->room().layouts.empty() && !store->unreadableAlertPending());
    Layout wall{"Wall"};
    wall.setCell(1, 1, CameraRef{b->serverId(), "/c/1", "Gate", 0});
    store->room().layouts.push_back(wall);
    store.reset();  // nothing pending: the file comes from save() alone
    EXPECT_FALSE(QFileInfo::exists(file()));
    store = LayoutsFile::openInFolder(folder());
    store->room().layouts.push_back(wall);
    ASSERT_TRUE(store->save());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    b->setName("B renamed");
    b->setHost("10.0.0.9");
    b->setPort("8081");
    settings->deleteServer(settings->getServers().front());  // B is first now
    settings->updateServer(CamServer::create());
    const QByteArray settingsBytes = readAll(folder() + "/settings.dat");
    settings.reset();
    store = LayoutsFile::openInFolder(folder());
    ASSERT_TRUE(store->save());
    EXPECT_EQ(readAll(folder() + "/settings.dat"), settingsBytes) << "never touched";

    const auto back = Settings::createInFolder(folder(), "en");
    const auto cell = store->room().layout("Wall")->cell(1, 1);
    ASSERT_TRUE(cell);
    QStringList found;
    for (const auto& server : back->getServers())
        if (server->serverId() == cell->serverId) found << server->name() + "@" + server->host();
    EXPECT_EQ(found, QStringList{"B renamed@10.0.0.9"});
}

TEST_F(LayoutsStore, UnreadableFilesAreKeptAsideAndSaidOnce) {
    // clang-format off
    const struct { const char* what; QByteArray bytes; bool alert; } cases[] = {
        {"not JSON", "{\"layouts\": [", true},
        {"a list", "[{\"name\": \"x\"}]", true},
        {"binary", QByteArray("\x00\xff{}", 4), true},
        {"a folder", QByteArray(), true},
        {"empty", "", false},
        {"odd members", R"({"layouts": 5, "tours": [{"name": 1}]})", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        c.bytes.isNull() ? void(QDir().mkpath(file())) : void(writeAt(file(), c.bytes));
        auto store = LayoutsFile::openInFolder(folder());
        EXPECT_TRUE(store->room().layouts.empty() && store->room().tours.empty());
        EXPECT_EQ(store->takeUnreadableAlert(), c.alert);
        EXPECT_FALSE(store->takeUnreadableAlert());
        EXPECT_EQ(readAll(file()), c.bytes) << "untouched until the first save";
        store->room().layouts.push_back(Layout{"New"});
        ASSERT_TRUE(store->save());
        EXPECT_EQ(QFileInfo::exists(file() + ".corrupt"), c.alert);
        EXPECT_EQ(readAll(file() + ".corrupt"), c.alert ? c.bytes : QByteArray());
        EXPECT_EQ(LayoutsFile::openInFolder(folder())->room().layouts.size(), 1u);
    }
}

// Through a link to a regular file, its target is written; a link to a
// FIFO is never read, moved aside or replaced.
TEST_F(LayoutsStore, WrittenThroughLinksButNeverOverAFifo) {
    const QString target = tmp.path() + "/dotfiles/layouts.json";
    ASSERT_TRUE(writeAt(target, "{}") && QDir().mkpath(folder()) && QFile::link(target, file()));
    auto store = LayoutsFile::openInFolder(folder());
    store->room().tours.push_back(Tour{"T"});
    ASSERT_TRUE(store->save());
    EXPECT_EQ(QFileInfo(file()).symLinkTarget(), target);
    EXPECT_EQ(LayoutsFile::openInFolder(folder())->room().tours.size(), 1u);

    const QString fifo = tmp.path() + "/dotfiles/fifo";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile::remove(file());
    ASSERT_TRUE(QFile::link(fifo, file()));
    store = LayoutsFile::openInFolder(folder());
    EXPECT_FALSE(store->unreadableAlertPending());
    EXPECT_FALSE(store->save());
    struct stat st {};
    EXPECT_TRUE(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_FALSE(QFileInfo::exists(fifo + ".corrupt"));
}

// Quick changes are written together, and the last one is never lost.
TEST_F(LayoutsStore, QuickChangesAreWrittenTogether) {
    auto store = LayoutsFile::openInFolder(folder());
    const auto change = [&](const char* name) {
        store->room().layouts = {Layout{name}};
        store->saveSoon();
    };
    const auto onDisk = [&] {
        const auto room = LayoutsFile::openInFolder(folder())->room();
        return room.layouts.empty() ? QString() : room.layouts[0].name;
    };
    change("a");
    change("b");  // waits: "a" was just written
    EXPECT_TRUE(store->savePending());
    EXPECT_TRUE(waitUntil([&] { return onDisk() == "b"; }, 10000));
    change("c");
    store.reset();
    EXPECT_EQ(onDisk(), "c");
}

}  // namespace
