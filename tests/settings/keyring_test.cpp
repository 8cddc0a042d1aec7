// SPDX-License-Identifier: GPL-3.0-or-later
// The passwords in a real keyring (a private gnome-keyring-daemon, see
// keyring_test_main.cpp): moved in and out, read back at the next start
// before any request leaves, and removed with their server. What the keyring
// holds is looked up with secret-tool, apart from the code under test.

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "camserver.h"
#include "keyringenv.h"
#include "passwordvault.h"
#include "scriptedserver.h"
#include "settings.h"
#include "testutil.h"
#include "zvdatamanager.h"

namespace {

// Names, addresses and passwords as a person might type them.
// clang-format off
struct Row { const char *name, *host, *port, *password; };
// clang-format on
const std::vector<Row> kRows = {
    {"Front office", "127.0.0.1", "1818", "s3cret"},
    {"No password", "10.0.0.2", "80", ""},
    {"Yard", "cams.example", "8080", "pä ss:wörd/ü"},
};

// Turns the box on or off once the keyring can be changed; true once done.
bool turn(PasswordVault& vault, bool on) {
    vault.refresh();
    if (!waitUntil([&] { return vault.canChange(); }, 20000)) return false;
    vault.setKeepInKeyring(on);
    return waitUntil([&] { return vault.canChange() && vault.keepInKeyring() == on; }, 20000);
}

// A folder whose servers' passwords went into the keyring with the box on;
// their entries' keys.
QStringList seed(const QString& folder, const std::vector<Row>& rows) {
    auto store = Settings::createInFolder(folder, "en");
    store->deleteServer(store->getServers().front());  // the first start's demo server
    // clang-format off
    for (const Row& r : rows)
        store->updateServer(CamServer::fromDictionary({{"name", r.name}, {"host", r.host},
            {"port", r.port}, {"login", "admin"}, {"password", QString::fromUtf8(r.password)}}));
    // clang-format on
    PasswordVault vault(*store, std::make_unique<Keyring>(10000));
    vault.start();
    EXPECT_TRUE(turn(vault, true));
    QStringList ids;
    for (const auto& s : store->getServers()) ids << s->keyringId;
    return ids;
}

// One run of the viewer over a settings folder: its store and vault, and
// how often the person was told that the keyring did not take a password.
struct Viewer {
    std::unique_ptr<Settings> store;
    std::unique_ptr<PasswordVault> vault;
    int notTaken = 0;

    explicit Viewer(const QString& folder) : store(Settings::createInFolder(folder, "en")) {
        vault = std::make_unique<PasswordVault>(*store, std::make_unique<Keyring>(10000));
        QObject::connect(vault.get(), &PasswordVault::passwordNotTaken, [this] { ++notTaken; });
        vault->start();
        EXPECT_TRUE(waitUntil([&] { return idle(); }, 20000));
    }
    // Nothing under way: the keyring answered (or cannot be used), no
    // password is being read, nothing is being written.
    bool idle() const {
        for (const auto& s : store->getServers())
            if (s->passwordPending()) return false;
        return vault->canChange() || vault->availability() >= PasswordVault::Availability::Locked;
    }
    std::shared_ptr<CamServer> server(const QString& name) const {
        for (const auto& s : store->getServers())
            if (s->name() == name) return s;
        return nullptr;
    }
    // What the server list's close does, after the person's edits.
    void closeList() {
        store->save();
        vault->storeChanged();
    }
};

class SystemKeyring : public ::testing::Test {
protected:
    void SetUp() override {
        if (!keyringenv::unavailableReason.isEmpty())
            GTEST_SKIP() << "no keyring: " << keyringenv::unavailableReason.toStdString();
        QSettings().remove(PasswordVault::kPreferenceKey);
    }
    // What the settings file holds now.
    auto onDisk() const { return Settings::createInFolder(dir.path(), "en"); }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(SystemKeyring, PasswordsMoveInAndOutAndFollowTheirServers) {
    seed(dir.path(), kRows);
    const auto file = onDisk();
    ASSERT_EQ(file->getServers().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const QString id = file->getServers()[i]->keyringId;
        EXPECT_EQ(file->getServers()[i]->password(), "") << "no password in the file";
        EXPECT_EQ(id.isEmpty(), *kRows[i].password == 0) << "an empty password needs no entry";
        EXPECT_EQ(keyringenv::lookup(id).secret, QString::fromUtf8(kRows[i].password));
    }
    // A removed server takes its entry; a renamed one keeps its password
    // under its new label.
    Viewer run(dir.path());
    const auto gone = run.server("Front office"), renamed = run.server("Yard");
    run.store->deleteServer(gone);
    renamed->setName("Back yard");
    run.closeList();
    EXPECT_TRUE(waitUntil([&] { return !keyringenv::lookup(gone->keyringId).found(); }, 20000));
    EXPECT_TRUE(waitUntil(
        [&] {
            const keyringenv::Entry e = keyringenv::lookup(renamed->keyringId);
            return e.label == "Zorvan: Back yard (cams.example:8080)" &&
                   e.secret == QString::fromUtf8(kRows[2].password);
        },
        20000));
    const QString renamedId = renamed->keyringId;
    // Turned off: the passwords are back in the file and the entries gone.
    ASSERT_TRUE(turn(*run.vault, false));
    EXPECT_TRUE(waitUntil([&] { return !keyringenv::lookup(renamedId).found(); }, 20000));
    const auto back = onDisk();
    for (int i : {1, 2})
        EXPECT_EQ(back->getServers()[i - 1]->password(), QString::fromUtf8(kRows[i].password));
}

TEST_F(SystemKeyring, TheNextStartReadsThePasswordsBeforeAnyRequestLeaves) {
    ScriptedServer server(
        [](const ScriptedServer::Request&) { return ScriptedServer::json("[]"); });
    std::vector<Row> rows = kRows;
    const std::string port = std::to_string(server.port());
    rows[0].port = port.c_str();
    seed(dir.path(), rows);

    // The next run of the viewer over the same file.
    auto next = Settings::createInFolder(dir.path(), "en");
    PasswordVault nextVault(*next, std::make_unique<Keyring>(10000));
    int alerts = 0;
    QObject::connect(&nextVault, &PasswordVault::unavailable, [&] { ++alerts; });
    ZVDataManager manager(next->getServers()[0]);
    QObject::connect(&nextVault, &PasswordVault::passwordsKnown, [&] { manager.passwordsKnown(); });
    nextVault.start();
    EXPECT_TRUE(next->getServers()[0]->passwordPending());
    manager.loadCameras();  // the start-up load, before the keyring has answered
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 2; }, 20000));
    for (const auto& request : server.requests())
        EXPECT_EQ(request.headers.at("authorization"),
                  "Basic " + QByteArray("admin:s3cret").toBase64().toStdString())
            << "every request carries the password from the keyring";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(next->getServers()[i]->password(), QString::fromUtf8(kRows[i].password));
    EXPECT_EQ(alerts, 0);
    manager.shutdown();
}

// While the keyring cannot be used nothing it holds is lost: an unread
// password is not an empty one (row 0), an edited one waits in the file
// (1), a removal waits in the file (2); each is carried out once the
// keyring is back (the server list opens: refresh), and nothing of another
// profile is touched.
TEST_F(SystemKeyring, WhatTheKeyringCannotTakeNowWaitsForIt) {
    QTemporaryDir otherProfile;  // its server shares the keyring, under the same service
    const QString otherId =
        seed(otherProfile.path(), {{"Demo", "127.0.0.1", "1818", "d3mo"}}).value(0);
    ASSERT_FALSE(otherId.isEmpty());
    for (int row : {0, 1, 2}) {
        SCOPED_TRACE(row);
        QTemporaryDir folder;
        const QStringList ids =
            seed(folder.path(), {{"Front office", "127.0.0.1", "1818", "old-s3cret"},
                                 {"Yard", "127.0.0.1", "1818", "y4rd"}});
        ASSERT_EQ(ids.size(), 2);
        if (row != 1) ASSERT_TRUE(keyringenv::lockKeyring());
        auto run = std::make_unique<Viewer>(folder.path());
        const QString password = row == 1 ? "n3w-s3cret" : "old-s3cret";
        if (row == 0) EXPECT_TRUE(run->server("Front office")->passwordUnknown);
        if (row == 1) {
            EXPECT_EQ(run->server("Front office")->password(), "old-s3cret");
            ASSERT_TRUE(keyringenv::lockKeyring());
            run->server("Front office")->setPassword(password);
            run->closeList();
            ASSERT_TRUE(waitUntil([&] { return run->notTaken > 0 && run->idle(); }, 20000));
            run->closeList();  // opened and closed again: told once
            EXPECT_TRUE(waitUntil([&] { return run->idle(); }, 20000));
            EXPECT_EQ(run->notTaken, 1);
        }
        if (row == 2) run->store->deleteServer(run->server("Yard")), run->closeList();
        if (row > 0) {  // quit and started again, still locked: the file's password
            run.reset();
            run = std::make_unique<Viewer>(folder.path());
            EXPECT_EQ(run->server("Front office")->password(), row == 1 ? password : "");
        }
        ASSERT_TRUE(keyringenv::unlockKeyring());
        run->vault->refresh();  // the server list opens...
        run->closeList();       // ...and closes untouched
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto s = run->server("Front office");
                return run->idle() && s->password() == password && s->keyringId == ids[0] &&
                       keyringenv::lookup(ids[0]).secret == password &&
                       keyringenv::lookup(ids[1]).found() == (row != 2);
            },
            30000));
        EXPECT_EQ(Settings::createInFolder(folder.path(), "en")->getServers()[0]->password(), "");
        EXPECT_EQ(keyringenv::lookup(otherId).secret, "d3mo");
    }
}
