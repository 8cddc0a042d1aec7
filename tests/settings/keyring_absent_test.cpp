// SPDX-License-Identifier: GPL-3.0-or-later
// Where there is no keyring (the session bus address leads nowhere): a file
// written with the box on is read without its passwords, with one alert and
// every record kept, and the box is disabled and says why.

#include <QCheckBox>
#include <QSettings>

#include "keyringenv.h"
#include "passwordvault.h"
#include "ui_zvserversettings.h"
#include "viewerkit.h"
#include "zvserversettings.h"

namespace {

// A settings file as a run with the box on leaves it: servers whose
// passwords are in the keyring (an id and an empty password) and one
// without a password at all. Returns the ids.
QStringList writeKeyringFile(const QString& folder, int port) {
    writeServers(folder, {{"Front office", port, true}, {"Yard", port}, {"Open", port}});
    auto store = Settings::createInFolder(folder, "en");
    store->getServers()[0]->setLogin("admin");
    const QStringList ids = {"front-office-id", "yard-id"};
    for (int i : {0, 1}) {
        store->getServers()[i]->keyringId = ids[i];
        store->getServers()[i]->passwordInKeyring = true;
    }
    store->save();
    QSettings().setValue(PasswordVault::kPreferenceKey, true);
    return ids;
}

class NoKeyring : public ViewerFixture {};

}  // namespace

TEST_F(NoKeyring, AFileWrittenWithTheBoxOnIsReadWithEmptyPasswordsAndOneAlert) {
    ScriptedServer server(camerasServer(camerasDoc({"Gate"})));
    const QStringList ids = writeKeyringFile(dir.path(), server.port());
    start();
    // The start-up load goes, without a password, once the keyring is known
    // to be absent.
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 2; }));
    EXPECT_EQ(server.requests().front().headers.at("authorization"),
              "Basic " + QByteArray("admin:").toBase64().toStdString());
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    app->preference();  // the box is disabled and says why
    QCheckBox* box = AppAccess::settingsWindow(*app)->ui().keyringBox;
    EXPECT_TRUE(waitUntil([&] { return box->toolTip().contains("No system keyring"); }));
    EXPECT_FALSE(box->isEnabled());
    spinFor(300);
    EXPECT_EQ(alerts->texts,
              std::vector<QString>{QString::fromUtf8(PasswordVault::kUnavailableAlert)});
    ASSERT_EQ(settings->getServers().size(), 3u);
    for (const auto& s : settings->getServers()) EXPECT_EQ(s->password(), "");

    // Saved again, the file still leads to the keyring: nothing is lost for
    // a run where it is back.
    quit();
    const auto file = onDisk();
    QStringList kept;
    for (const auto& s : file->getServers()) kept << s->keyringId;
    EXPECT_EQ(kept, ids + QStringList{QString()});
    EXPECT_TRUE(QSettings().value(PasswordVault::kPreferenceKey).toBool());
}
