// Where there is no keyring (the session bus address leads nowhere): the
// check box is disabled and says why, and a file written with the box on is
// read without its passwords, with one alert and every record kept.

#include <QCheckBox>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include "camserver.h"
#include "keyringenv.h"
#include "passwordvault.h"
#include "plistcodec.h"
#include "settings.h"
#include "testutil.h"
#include "ui_zvserversettings.h"
#include "viewerkit.h"
#include "zvserversettings.h"

namespace {

// A settings file as a run with the box on leaves it: servers whose
// passwords are in the keyring (an id and an empty password) and one
// without a password at all.
void writeKeyringFile(const QString& folder, int port) {
    QVariantMap root;
    const struct {
        const char* name;
        const char* id;
    } rows[] = {{"Front office", "7d7f2a6e-0b1c-4f7e-9a51-3f0c2d9e8b11"},
                {"Yard", "0c9e4a52-6d0b-4c55-8f3e-2b7a1d6e9f20"},
                {"Open", nullptr}};
    int i = 0;
    for (const auto& r : rows) {
        QVariantMap s{
            {"name", r.name},       {"host", "127.0.0.1"}, {"port", QString::number(port)},
            {"login", "admin"},     {"password", ""},      {"fps", "8"},
            {"isSelected", i == 0}, {"camOnPage", 4}};
        if (r.id) s.insert("keyringId", r.id);
        root.insert(QString::number(i++), s);
    }
    root.insert("server_count", i);
    QDir().mkpath(folder);
    QFile f(folder + "/settings.dat");
    f.open(QIODevice::WriteOnly);
    f.write(PlistCodec::writeXml(root));
    QSettings().setValue(PasswordVault::kPreferenceKey, true);
}

class NoKeyring : public ViewerFixture {};

}  // namespace

TEST_F(NoKeyring, TheBoxIsDisabledAndSaysWhy) {
    QSettings().remove(PasswordVault::kPreferenceKey);
    start();
    app->preference();  // opening asks the keyring
    QCheckBox* box = AppAccess::settingsWindow(*app)->ui().keyringBox;
    ASSERT_TRUE(waitUntil([&] {
        return AppAccess::passwordVault(*app)->availability() ==
               PasswordVault::Availability::Absent;
    }));
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(box->toolTip(), AppAccess::passwordVault(*app)->reason());
    EXPECT_TRUE(box->toolTip().contains("No system keyring")) << box->toolTip().toStdString();
}

TEST_F(NoKeyring, AFileWrittenWithTheBoxOnIsReadWithEmptyPasswordsAndOneAlert) {
    ScriptedServer server(camerasServer(camerasDoc({"Gate"})));
    writeKeyringFile(dir.path(), server.port());
    start();
    // The start-up load goes, without a password, once the keyring is known
    // to be absent.
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 2; }));
    EXPECT_EQ(server.requests().front().headers.at("authorization"),
              "Basic " + QByteArray("admin:").toBase64().toStdString());
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    spinFor(300);
    EXPECT_EQ(alerts->texts,
              std::vector<QString>{QString::fromUtf8(PasswordVault::kUnavailableAlert)});
    ASSERT_EQ(settings->getServers().size(), 3u);
    for (const auto& s : settings->getServers()) EXPECT_EQ(s->password(), "");

    // Saved again, the file still leads to the keyring: nothing is lost for
    // a run where it is back.
    quit();
    QFile f(dir.path() + "/settings.dat");
    f.open(QIODevice::ReadOnly);
    const QVariantMap root = PlistCodec::readDictionary(f.readAll()).value_or(QVariantMap());
    ASSERT_EQ(root.value("server_count").toInt(), 3);
    EXPECT_EQ(root.value("0").toMap().value("keyringId").toString(),
              "7d7f2a6e-0b1c-4f7e-9a51-3f0c2d9e8b11");
    EXPECT_EQ(root.value("1").toMap().value("password").toString(), "");
    EXPECT_FALSE(root.value("2").toMap().contains("keyringId"));
    EXPECT_TRUE(QSettings().value(PasswordVault::kPreferenceKey).toBool());
}
