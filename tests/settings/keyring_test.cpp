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
const Row kRows[] = {
    {"Front office", "127.0.0.1", "1818", "s3cret"},
    {"No password", "10.0.0.2", "80", ""},
    {"Yard", "cams.example", "8080", "pä ss:wörd/ü"},
};

class SystemKeyring : public ::testing::Test {
protected:
    void SetUp() override {
        if (!keyringenv::unavailableReason.isEmpty())
            GTEST_SKIP() << "no keyring: " << keyringenv::unavailableReason.toStdString();
        QSettings().remove(PasswordVault::kPreferenceKey);
        store = Settings::createInFolder(dir.path(), "en");
        store->deleteServer(store->getServers().front());  // the first start's demo server
        // clang-format off
        for (const Row& r : kRows)
            store->updateServer(CamServer::fromDictionary({{"name", r.name}, {"host", r.host},
                {"port", r.port}, {"login", "admin"}, {"password", QString::fromUtf8(r.password)}}));
        // clang-format on
        vault = std::make_unique<PasswordVault>(*store, std::make_unique<Keyring>(10000));
        vault->start();
    }
    // What the settings file holds now.
    auto onDisk() const { return Settings::createInFolder(dir.path(), "en"); }
    bool turn(bool on) {
        vault->refresh();
        if (!waitUntil([&] { return vault->canChange(); }, 20000)) return false;
        vault->setKeepInKeyring(on);
        return waitUntil([&] { return vault->canChange() && vault->keepInKeyring() == on; }, 20000);
    }

    QTemporaryDir dir;
    std::unique_ptr<Settings> store;
    std::unique_ptr<PasswordVault> vault;
};

}  // namespace

TEST_F(SystemKeyring, PasswordsMoveInAndOutAndFollowTheirServers) {
    ASSERT_TRUE(turn(true));
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
    const auto gone = store->getServers()[0], renamed = store->getServers()[2];
    const QString goneId = gone->keyringId;
    store->deleteServer(gone);
    renamed->setName("Back yard");
    vault->storeChanged();  // what the server list's close does
    EXPECT_TRUE(waitUntil([&] { return !keyringenv::lookup(goneId).found(); }, 20000));
    EXPECT_TRUE(waitUntil(
        [&] {
            const keyringenv::Entry e = keyringenv::lookup(renamed->keyringId);
            return e.label == "Zorvan: Back yard (cams.example:8080)" &&
                   e.secret == QString::fromUtf8(kRows[2].password);
        },
        20000));
    const QString renamedId = renamed->keyringId;
    // Turned off: the passwords are back in the file and the entries gone.
    ASSERT_TRUE(turn(false));
    EXPECT_TRUE(waitUntil([&] { return !keyringenv::lookup(renamedId).found(); }, 20000));
    const auto back = onDisk();
    for (int i : {1, 2})
        EXPECT_EQ(back->getServers()[i - 1]->password(), QString::fromUtf8(kRows[i].password));
}

TEST_F(SystemKeyring, TheNextStartReadsThePasswordsBeforeAnyRequestLeaves) {
    ASSERT_TRUE(turn(true));
    ScriptedServer server(
        [](const ScriptedServer::Request&) { return ScriptedServer::json("[]"); });
    store->getServers()[0]->setPort(QString::number(server.port()));
    store->save();

    // A second run of the viewer over the same file.
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
