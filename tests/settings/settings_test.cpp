// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store against real files in a temporary folder.

#include "settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <clocale>
#include <csignal>
#include <functional>

#include "camserver.h"
#include "plistcodec.h"
#include "serverlistmodel.h"
#include "testutil.h"

namespace {

QByteArray plist(const QByteArray& body) {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" + body + "</dict></plist>";
}
QByteArray entry(const char* i, const char* n) {
    return QByteArray("<key>") + i + "</key><dict><key>name</key><string>" + n + "</string></dict>";
}
QByteArray countKey(const char* n) {
    return QByteArray("<key>server_count</key><integer>") + n + "</integer>";
}
const QByteArray kFull =
    plist(countKey("1") + entry("0", "A") +
          "<key>lang</key><string>Русский</string><key>quality</key><real>37.3</real>"
          "<key>winPosition</key><string>{{1.5, 2}, {300, 200}}</string>"
          "<key>cameraIdx</key><integer>4294967295</integer>");

mode_t modeOf(const QString& path, mode_t mask = 07777) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & mask : 0;
}

// The names of the store's servers, "-" for an absent name.
QString names(const Settings& s) {
    QStringList out;
    for (const auto& server : s.getServers())
        out << (server->name().isNull() ? "-" : server->name());
    return out.join(',');
}

class SettingsStore : public ::testing::Test {
protected:
    // The parents of the folder do not exist yet, as on a fresh account.
    QString folder() const { return tmp.path() + "/home/.local/share/Zorvan"; }
    QString file() const { return folder() + "/settings.dat"; }
    auto open(QString locale = "en") const { return Settings::createInFolder(folder(), locale); }
    void writeFile(const QByteArray& bytes) const { EXPECT_TRUE(writeAt(file(), bytes)); }

    QTemporaryDir tmp;
};

TEST_F(SettingsStore, FirstStartHasTheDemoServerAndWritesNothing) {
    QStringList langs;  // a first start's language name for each locale language
    for (const char* locale : {"ru", "ua", "kz", "uk", "RU", ""}) langs << open(locale)->lang();
    EXPECT_EQ(langs.join(','), "Русский,Русский,Русский,English,English,English");

    const auto s = open();
    ASSERT_EQ(s->getServers().size(), 1u);
    const auto demo = s->getServers()[0];  // the record's other defaults are CamServer's
    EXPECT_EQ(std::tuple(demo->name(), demo->host(), demo->port(), demo->login()),
              std::tuple("Demo Server", "127.0.0.1", "1818", "admin"));
    EXPECT_EQ(s->getCurrent(), demo);
    EXPECT_EQ(std::tuple(s->quality(), s->cameraIdx(), s->getWinPosition()),
              std::tuple(50.0, 0, QRectF(630, 580, 507, 363)));
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(tmp.path() + "/home/.local"), 0700u);  // the parents it made too
    EXPECT_FALSE(QFileInfo::exists(file()));
    ASSERT_TRUE(s->save());
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(SettingsStore, SaveAndLoadRoundTripAlsoThroughPlistutil) {
    auto s = open();
    s->setQuality(37.3);
    s->setLang("简体中文");
    s->setCameraIdx(-3);
    s->setWinPosition(QRectF(-10, 0.1, 1000000, 768.25));
    s->updateServer(CamServer::fromDictionary(
        {{"name", "B"}, {"port", qlonglong(81)}, {"camerasNames", QVariantList{"y", "Дом"}}}));
    s->setCurrent(s->getServers()[1]);
    ASSERT_TRUE(s->save());
    const QVariantMap root = PlistCodec::readDictionary(readAll(file())).value();
    EXPECT_EQ(root["quality"].toDouble(), double(37.3f));  // written in single precision
    EXPECT_EQ(root["winPosition"], QString("{{-10, 0.1}, {1000000, 768.25}}"));

    const auto back = open();
    ASSERT_EQ(names(*back), "Demo Server,B");
    EXPECT_EQ(back->getServers()[1]->toDictionary(), s->getServers()[1]->toDictionary());
    EXPECT_EQ(back->getCurrent()->name(), "B");
    EXPECT_EQ(
        std::tuple(back->quality(), back->lang(), back->cameraIdx(), back->getWinPosition()),
        std::tuple(double(37.3f), QString("简体中文"), -3, QRectF(-10, 0.1, 1000000, 768.25)));

    // The plist library reads reals with the process locale: a decimal comma
    // must not turn 37.3 into 37.
    QProcess::execute("localedef", {"-i", "ru_RU", "-f", "UTF-8", tmp.path() + "/ru_RU.UTF-8"});
    qputenv("LOCPATH", QFile::encodeName(tmp.path()));
    if (std::setlocale(LC_NUMERIC, "ru_RU.UTF-8")) {
        const double quality = open()->quality();
        std::setlocale(LC_NUMERIC, "C");
        EXPECT_EQ(quality, double(37.3f));
    }
    qunsetenv("LOCPATH");

    // Another property-list reader takes the whole file (and a binary list reads too).
    const QString bin = tmp.path() + "/settings.bin";
    ASSERT_EQ(QProcess::execute("plistutil", {"-i", file(), "-o", bin, "-f", "bin"}), 0);
    EXPECT_EQ(PlistCodec::readDictionary(readAll(bin)), root);
}

TEST_F(SettingsStore, HandWrittenAndBrokenFiles) {
    // Records are those below the count and the highest position present;
    // anything that is no property-list dictionary reads as an empty one and
    // is moved aside at the first save, unless it was an empty file.
    // clang-format off
    const struct { const char* what; QByteArray bytes; const char* names; bool movedAside; } cases[] = {
        {"missing keys", plist(countKey("1") + entry("0", "A")), "A", false},
        {"extra entry", plist(countKey("2") + entry("0", "A") + entry("1", "B") + entry("2", "C")), "A,B", false},
        {"huge count", plist(countKey("2147483647") + entry("0", "A") + entry("1", "B")), "A,B", false},
        {"a gap", plist(countKey("3") + entry("0", "A") + entry("2", "C")), "A,-,C", false},
        {"garbage", "hello, world", "", true},
        {"half a list", kFull.left(kFull.size() / 2), "", true},
        {"binary", QByteArray("\x00\xff\xfe\x01\x80 bplist", 12), "", true},
        {"empty", "", "", false},
        {"directory", QByteArray(), "", true},  // null bytes: a folder stands at the path
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder()).removeRecursively();
        c.bytes.isNull() ? void(QDir().mkpath(file())) : writeFile(c.bytes);
        const auto s = open("ru");
        EXPECT_EQ(names(*s), c.names);
        // Missing keys: not a first start's defaults.
        EXPECT_TRUE(s->quality() == 0.0 && s->cameraIdx() == 0);
        ASSERT_TRUE(s->save());  // a broken file never blocks saving
        EXPECT_EQ(names(*open()), c.names);
        EXPECT_EQ(QFileInfo::exists(file() + ".corrupt"), c.movedAside);
        EXPECT_EQ(readAll(file() + ".corrupt"), c.movedAside ? c.bytes : QByteArray());
        ASSERT_TRUE(s->save());  // only the first save moves anything aside
        EXPECT_FALSE(QFileInfo::exists(file() + ".corrupt.1"));
    }
    writeFile("junk again");  // an older copy set aside is never overwritten
    open()->save();
    EXPECT_EQ(readAll(file() + ".corrupt.1"), "junk again");
}

// A record's identity is read with it (and written: the round-trip test);
// a copied entry that shares another's gets its own, kept from then on.
TEST_F(SettingsStore, ServerIdsFollowTheirRecordsAndAreNeverShared) {
    const QByteArray id =
        "<dict><key>serverId</key><string>5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37</string></dict>";
    writeFile(plist(countKey("3") + "<key>0</key>" + id + "<key>1</key>" + id + entry("2", "C")));
    const auto s = open();
    const auto& list = s->getServers();
    EXPECT_EQ(list[0]->serverId(), "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37");
    EXPECT_TRUE(list[1]->serverId() != list[0]->serverId() &&
                list[1]->serverId() != list[2]->serverId());
    ASSERT_TRUE(s->save());  // the fresh one is kept, run after run
    EXPECT_EQ(open()->getServers()[1]->serverId(), list[1]->serverId());
}

// A write that fails midway (here at the file-size limit, as on a full disk)
// leaves the old file whole and the list in memory as it is.
TEST_F(SettingsStore, FailedWriteKeepsTheOldFile) {
    auto s = open();
    ASSERT_TRUE(s->save());
    const QByteArray before = readAll(file());

    std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the process
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{rlim_t(before.size()) + 16, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    s->setLang(QString(5000, u'x'));
    const bool saved = s->save();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(file()), before);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"settings.dat"});  // no leftovers
    EXPECT_TRUE(s->save());
    EXPECT_EQ(open()->lang(), s->lang());
}

TEST_F(SettingsStore, CurrentServerAndListChangesWorkByIdentity) {
    auto store = open();
    const auto demo = store->getCurrent();
    auto twin = CamServer::fromDictionary(demo->toDictionary());  // equal fields, another server
    store->updateServer(twin);
    store->updateServer(demo);  // already there: nothing changes
    ASSERT_EQ(store->getServers().size(), 2u) << "an equal record is still a new server";
    store->setCurrent(twin);
    EXPECT_TRUE(store->getCurrent() == twin && !demo->isSelected);
    store->setCurrent(CamServer::create());  // not in the list: none flagged, the first is current
    EXPECT_EQ(store->getCurrent(), demo);
    store->deleteServer(demo);
    store->deleteServer(demo);  // not there any more: harmless
    ASSERT_EQ(store->getServers().size(), 1u);
    store->deleteServer(twin);
    EXPECT_EQ(store->getCurrent(), nullptr);
    EXPECT_TRUE(open()->getServers().empty()) << "deleting saved the list";
}

// Frames no screen could show give the default. Numbers beyond a double
// (found by fuzzing the file) read as 0, so the next save writes a frame that
// reads back the same, not "inf", which shifted every later number by one.
TEST_F(SettingsStore, WindowFramesAsWrittenByHandOrByFuzzing) {
    const QRectF kDefault(630, 580, 507, 363);
    // clang-format off
    const struct { const char* text; bool stored; QRectF frame; } cases[] = {
        {"{{-1000, 5}, {800, 600}}", true, QRectF(-1000, 5, 800, 600)},
        {"{{5, 5}, {600, 1e7}}", false, kDefault},
        {"{{1e3083 -0}, {inf, 1.5}}", true, QRectF(0, 0, 1.5, 0)},
        {"{{1, -1e400}, {3, 4}}", true, QRectF(1, 0, 3, 4)},
    };
    // clang-format on
    for (const auto& c : cases) {
        writeFile(plist(QByteArray("<key>winPosition</key><string>") + c.text + "</string>"));
        const auto first = open();
        EXPECT_EQ(first->hasStoredFrame(), c.stored) << c.text;
        EXPECT_EQ(first->getWinPosition(), c.frame) << c.text;
        ASSERT_TRUE(first->save());
        EXPECT_EQ(open()->getWinPosition(), c.frame) << c.text;
    }
}

// Only the store's own temporary files (six letters or digits), and only
// those an hour old or more (a save may be running now), are removed.
TEST_F(SettingsStore, TemporaryFilesOfAKilledSaveAreRemovedOnceOld) {
    writeFile(kFull);
    const std::pair<const char*, bool> cases[] = {{"settings.dat.tmp-a1B2c3", false},
                                                  {"settings.dat.tmp-Zz9Zz9", true},
                                                  {"settings.dat.tmp-notours", true}};
    for (const auto& [name, kept] : cases) {
        QFile f(folder() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const int age = QByteArray(name).endsWith("Zz9Zz9") ? 5 : 7200;
        f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-age),
                      QFileDevice::FileModificationTime);
    }
    EXPECT_EQ(names(*open()), "A");
    for (const auto& [name, kept] : cases)
        EXPECT_EQ(QFileInfo::exists(folder() + "/" + name), kept) << name;
}

}  // namespace

// A settings file kept elsewhere behind a symbolic link (a dotfiles folder)
// is written through the link, in the target's own folder; a link that leads
// nowhere fails to save and stays as it is.
TEST_F(SettingsStore, ALinkedFileIsWrittenThroughItsLink) {
    const QString dots = tmp.path() + "/dotfiles", target = dots + "/settings.dat";
    ASSERT_TRUE(writeAt(target, kFull));
    ASSERT_TRUE(QDir().mkpath(folder()) && QFile::link(target, file()));
    auto s = open();
    EXPECT_EQ(names(*s), "A");
    s->setCameraIdx(3);
    EXPECT_TRUE(s->save());
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::System), QStringList{"settings.dat"})
        << "nothing written beside the link";
    EXPECT_EQ(open()->cameraIdx(), 3);
    QFile::remove(target);
    EXPECT_FALSE(open()->save());
    EXPECT_EQ(QFileInfo(file()).symLinkTarget(), target) << "the link stays a link";

    // A link to anything but a regular file (to /dev/null: "never save")
    // starts as one that leads nowhere: the demo server, and nothing read,
    // moved aside or replaced.
    const std::pair<const char*, std::function<int(const QByteArray&)>> rows[] = {
        {"fifo", [](const QByteArray& p) { return ::mkfifo(p, 0600); }},
        // A private device like /dev/null (root only: skipped otherwise).
        {"fakenull", [](const QByteArray& p) { return ::mknod(p, S_IFCHR | 0600, makedev(1, 3)); }},
        {"folder", [](const QByteArray& p) { return ::mkdir(p, 0700); }},
    };
    for (const auto& [name, make] : rows) {
        SCOPED_TRACE(name);
        const QString special = dots + "/" + name;
        QFile::remove(file());
        if (make(QFile::encodeName(special)) != 0) continue;
        const mode_t kind = modeOf(special, S_IFMT);
        ASSERT_TRUE(QFile::link(special, file()));
        auto s = open();
        EXPECT_EQ(names(*s), "Demo Server");
        EXPECT_FALSE(s->save());
        EXPECT_EQ(modeOf(special, S_IFMT), kind);
        EXPECT_EQ(QFileInfo(file()).symLinkTarget(), special);
        EXPECT_EQ(QDir(dots).entryList({"*corrupt*"}, QDir::AllEntries | QDir::System),
                  QStringList());
    }
}

// Changes that keep coming (a held arrow key) are written at most twice a
// second: a change just after a write waits, and then reaches the file. A
// save() at quit writes at once, and a store that goes keeps its last change.
// (The lowest owner of this rule: the menus only use it.)
TEST_F(SettingsStore, QuickChangesAreWrittenTogether) {
    auto s = open();
    const auto change = [&](int i) {
        s->setCameraIdx(i);
        s->saveSoon();
    };
    change(1);
    change(2);  // pending: the first was just written
    EXPECT_TRUE(s->savePending());
    EXPECT_TRUE(waitUntil([&] { return open()->cameraIdx() == 2; }, 10000));
    change(4);               // pending again
    ASSERT_TRUE(s->save());  // as at quit
    EXPECT_FALSE(s->savePending());
    EXPECT_EQ(open()->cameraIdx(), 4);
    change(5);
    s.reset();
    EXPECT_EQ(open()->cameraIdx(), 5);
}

// The server-list dialog's own list: rows show the records' names, and only
// rows that exist are given out, removed or repainted.
TEST(ServerListModel, RowsShowNamesAndOnlyRowsThatExistChange) {
    ServerListModel model;
    for (const char* name : {"A", "B", "C"})
        model.append(CamServer::fromDictionary({{"name", name}}));
    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    for (int row : {-1, 3}) {
        EXPECT_EQ(model.at(row), nullptr) << row;
        model.removeAt(row);
        model.refresh(row);
    }
    model.refresh(2);
    EXPECT_EQ(changed, 1);
    model.removeAt(0);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0)).toString(), "B");
    EXPECT_FALSE(model.data(model.index(0), Qt::EditRole).isValid());
}
