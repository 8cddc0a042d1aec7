// The settings store against real files in a temporary folder.

#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <clocale>
#include <csignal>
#include <thread>

#include "camserver.h"
#include "plistcodec.h"

namespace {

const QRectF kDefaultFrame(630, 580, 507, 363);

QByteArray plist(const QByteArray& dictBody) {
    return "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n<dict>" + dictBody +
           "</dict>\n</plist>\n";
}
QByteArray entry(int i, const char* name) {
    return "<key>" + QByteArray::number(i) + "</key><dict><key>name</key><string>" + name +
           "</string></dict>";
}
QByteArray countKey(const char* n) {
    return QByteArray("<key>server_count</key><integer>") + n + "</integer>";
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    std::unique_ptr<Settings> open(const QString& localeLanguage = "en") const {
        return Settings::createInFolder(folder(), localeLanguage);
    }
    void writeFile(const QByteArray& bytes) const {
        QDir().mkpath(folder());
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QVariantMap savedRoot() const {
        return PlistCodec::readDictionary(readAll(file()))
            .value_or(QVariantMap{{"unreadable", true}});
    }
    static void fill(Settings& s, int count) {  // each addition saves
        for (int i = 0; i < count; ++i) {
            auto server = CamServer::create();
            server->setName(QStringLiteral("Server %1").arg(i));
            server->setPassword(QString(200, u'p'));
            s.updateServer(server);
        }
    }

    QTemporaryDir tmp;
};

TEST_F(SettingsStore, FirstStartHasTheDemoServerAndWritesNothing) {
    const struct {
        const char* locale;
        const char* lang;
    } cases[] = {{"ru", "Русский"}, {"ua", "Русский"}, {"kz", "Русский"}, {"uk", "English"},
                 {"kk", "English"}, {"en", "English"}, {"RU", "English"}, {"", "English"}};
    for (const auto& c : cases) EXPECT_EQ(open(c.locale)->lang(), QString(c.lang)) << c.locale;

    const auto s = open();
    ASSERT_EQ(s->getServers().size(), 1u);
    EXPECT_EQ(s->getServers()[0]->toDictionary(), QVariantMap({{"name", "Demo Server"},
                                                               {"host", "127.0.0.1"},
                                                               {"port", "1818"},
                                                               {"login", "admin"},
                                                               {"password", ""},
                                                               {"fps", "8"},
                                                               {"previewRegim", 0},
                                                               {"isSelected", true},
                                                               {"oldProtocol", false},
                                                               {"camOnPage", 4},
                                                               {"camerasNames", QVariantList()}}));
    EXPECT_EQ(s->getCurrent(), s->getServers()[0]);
    EXPECT_EQ(s->quality(), 50.0);
    EXPECT_EQ(s->cameraIdx(), 0);
    EXPECT_EQ(s->getWinPosition(), kDefaultFrame);
    EXPECT_EQ(statOf(folder()).st_mode & 07777, 0700u);
    EXPECT_EQ(statOf(tmp.path() + "/home/.local").st_mode & 07777, 0700u);
    EXPECT_FALSE(QFileInfo::exists(file()));

    ASSERT_TRUE(s->save());
    EXPECT_EQ(statOf(file()).st_mode & 07777, 0600u);
    EXPECT_EQ(savedRoot()["winPosition"], QString("{{630, 580}, {507, 363}}"));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files),
              QStringList{"settings.dat"});  // no temporaries
}

TEST_F(SettingsStore, SaveAndLoadRoundTrip) {
    auto s = open();
    s->setQuality(37.3);
    s->setLang("简体中文");
    s->setCameraIdx(-3);
    s->setWinPosition(QRectF(-10, 0.1, 1000000, 768.25));
    auto other = CamServer::fromDictionary(
        {{"name", "B"}, {"port", qlonglong(81)}, {"camerasNames", QVariantList{"y", "x"}}});
    s->updateServer(other);
    s->setCurrent(other);
    ASSERT_TRUE(s->save());

    const QVariantMap root = savedRoot();
    EXPECT_EQ(root["quality"].typeId(), QMetaType::Double);
    EXPECT_EQ(root["quality"].toDouble(), double(37.3f));
    EXPECT_EQ(root["winPosition"], QString("{{-10, 0.1}, {1000000, 768.25}}"));
    EXPECT_EQ(root["server_count"], qlonglong(2));

    const auto back = open();
    ASSERT_EQ(names(*back), "Demo Server,B");
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(back->getServers()[i]->toDictionary(), s->getServers()[i]->toDictionary());
    EXPECT_EQ(back->getCurrent()->name(), "B");
    EXPECT_EQ(back->quality(), double(37.3f));
    EXPECT_EQ(back->lang(), "简体中文");
    EXPECT_EQ(back->cameraIdx(), -3);
    EXPECT_EQ(back->getWinPosition(), QRectF(-10, 0.1, 1000000, 768.25));
}

TEST_F(SettingsStore, HandWrittenFiles) {
    const QByteArray full =
        plist(countKey("1") + entry(0, "A") +
              "<key>lang</key><string>Русский</string><key>quality</key><real>37.3</real>"
              "<key>winPosition</key><string>{{1.5, 2}, {300, 200}}</string>"
              "<key>cameraIdx</key><integer>4294967295</integer>");
    writeFile(full);
    auto s = open();
    EXPECT_EQ(s->quality(), double(37.3f));
    EXPECT_EQ(s->getWinPosition(), QRectF(1.5, 2, 300, 200));
    EXPECT_EQ(s->cameraIdx(), -1);  // read as 32 bits
    EXPECT_EQ(s->lang(), "Русский");

    // Readable files: the records are those below the count and the highest
    // position present; keys other than the entries are missing (defaults).
    // clang-format off
    const struct { const char* what; QByteArray body; const char* names; } readable[] = {
        {"missing keys",     countKey("1") + entry(0, "A"), "A"},
        {"extra entry",      countKey("2") + entry(0, "A") + entry(1, "B") + entry(2, "C"), "A,B"},
        {"gap",              countKey("3") + entry(0, "A") + entry(2, "C"), "A,-,C"},
        {"huge count",       countKey("2147483647") + entry(0, "A") + entry(1, "B"), "A,B"},
        {"negative count",   countKey("-1") + entry(0, "A"), ""},
        {"count as text",    "<key>server_count</key><string>2</string>" + entry(0, "A") + entry(1, "B"), "A,B"},
        {"padded key",       countKey("2") + entry(0, "A") + "<key>01</key><dict/>", "A"},
        {"entry not a dict", countKey("1") + "<key>0</key><string>A</string>", "-"},
    };
    // Files that are no property-list dictionary count as an empty one.
    const QByteArray unreadable[] = {"hello, world", "", QByteArray("\x00\xff\xfe\x01\x80 bplist", 12),
        "\xef\xbb\xbf" + full, full.left(full.size() / 2), plist("").replace("<dict></dict>", "<array/>")};
    // clang-format on
    std::vector<std::pair<QByteArray, const char*>> cases;
    for (const auto& c : readable) cases.emplace_back(plist(c.body), c.names);
    for (const auto& bytes : unreadable) cases.emplace_back(bytes, "");
    for (const auto& [bytes, expected] : cases) {
        writeFile(bytes);
        s = open("ru");
        EXPECT_EQ(names(*s), expected) << bytes.toStdString();
        EXPECT_EQ(s->quality(), 0.0);
        EXPECT_EQ(s->getWinPosition(), kDefaultFrame);
        EXPECT_EQ(s->cameraIdx(), 0);
        EXPECT_EQ(s->lang(), "English");
        EXPECT_TRUE(s->save());  // an unreadable file never blocks saving
        EXPECT_EQ(names(*open()), expected);
        QFile::remove(file() + ".corrupt");
    }
}

TEST_F(SettingsStore, UnreadableFileIsKeptAsideAtTheFirstSave) {
    const struct {
        const char* content;  // nullptr: a folder stands at the path
        bool kept;
    } cases[] = {{"<plist>half a list", true}, {"", false}, {nullptr, true}};
    for (const auto& c : cases) {
        QDir(folder()).removeRecursively();
        c.content ? writeFile(c.content) : void(QDir().mkpath(file()));
        auto s = open();
        EXPECT_TRUE(s->getServers().empty());
        ASSERT_TRUE(s->save());
        EXPECT_EQ(savedRoot()["server_count"], qlonglong(0));
        EXPECT_EQ(QFileInfo::exists(file() + ".corrupt"), c.kept);
        EXPECT_EQ(readAll(file() + ".corrupt"), c.content && c.kept ? c.content : "");
        ASSERT_TRUE(s->save());  // only the first save moves anything aside
        EXPECT_FALSE(QFileInfo::exists(file() + ".corrupt.1"));
    }
    writeFile("junk again");  // an older backup is never overwritten
    open()->save();
    EXPECT_EQ(readAll(file() + ".corrupt.1"), "junk again");
}

TEST_F(SettingsStore, FolderThatCannotBeMadeFailsQuietly) {
    QFile blocker(tmp.path() + "/home");  // a file where a parent folder belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto s = open();
    EXPECT_FALSE(s->save());
    s->deleteServer(s->getServers()[0]);  // saves, and fails
    EXPECT_TRUE(s->getServers().empty());
}

// A write that fails midway (here at the file-size limit, as on a full disk)
// leaves the old file whole and the list in memory as it is.
TEST_F(SettingsStore, FailedWriteKeepsTheOldFile) {
    auto s = open();
    ASSERT_TRUE(s->save());
    const QByteArray before = readAll(file());

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = rlim_t(before.size()) + 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    fill(*s, 20);
    const bool saved = s->save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(file()), before);
    EXPECT_EQ(s->getServers().size(), 21u);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{"settings.dat"});
    EXPECT_TRUE(s->save());
    EXPECT_EQ(open()->getServers().size(), 21u);
}

// A process killed during a save leaves a whole file, old or new.
TEST_F(SettingsStore, KilledWhileSavingLeavesAWholeFile) {
    fill(*open(), 200);
    for (int round = 0; round < 5; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVAN_SAVE_LOOP_FOLDER", folder());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(child.waitForStarted(60000));
        qint64 saves = 0;  // the child writes one mark per finished save
        while (saves < 3 + round && child.waitForReadyRead(120000)) saves += child.readAll().size();
        child.kill();  // SIGKILL, during some later save
        child.waitForFinished(60000);
        EXPECT_GE(saves, 3 + round);
        const auto s = open();
        ASSERT_EQ(s->getServers().size(), 201u) << "round " << round;
        EXPECT_EQ(s->getServers()[200]->name(), "Server 199");
    }
}

TEST_F(SettingsStore, FileReadsBackThroughPlistutil) {
    auto s = open();
    s->setQuality(37.3);
    s->getServers()[0]->sortCamerasNames = QVariantList{"Gate", "Дом"};
    ASSERT_TRUE(s->save());
    const QString bin = tmp.path() + "/settings.bin";
    ASSERT_EQ(QProcess::execute("plistutil", {"-i", file(), "-o", bin, "-f", "bin"}), 0);
    ASSERT_EQ(QProcess::execute("plistutil", {"-i", bin, "-o", file(), "-f", "xml"}), 0);
    const auto back = open();
    EXPECT_EQ(back->getServers()[0]->toDictionary(), s->getServers()[0]->toDictionary());
    EXPECT_EQ(back->quality(), double(37.3f));
    EXPECT_EQ(PlistCodec::readDictionary(readAll(bin)), savedRoot());  // a binary list reads too
}

TEST_F(SettingsStore, CurrentServerAndListChanges) {
    auto s = open();
    const auto a = s->getServers()[0], b = CamServer::create(), c = CamServer::create();
    s->updateServer(b);
    s->updateServer(c);
    EXPECT_EQ(savedRoot()["server_count"], qlonglong(3));
    const struct {
        bool a, b, c;
        CamServer* current;
    } cases[] = {
        {false, true, true, b.get()}, {false, false, false, a.get()}, {true, false, true, a.get()}};
    for (const auto& k : cases) {
        a->isSelected = k.a, b->isSelected = k.b, c->isSelected = k.c;
        EXPECT_EQ(s->getCurrent().get(), k.current);
    }
    s->setCurrent(c);
    EXPECT_TRUE(!a->isSelected && !b->isSelected && c->isSelected);
    s->setCurrent(CamServer::create());  // not in the list: no flag left
    EXPECT_TRUE(!a->isSelected && !b->isSelected && !c->isSelected);

    const ino_t saved = statOf(file()).st_ino;
    s->updateServer(b);  // already there: no save
    EXPECT_EQ(statOf(file()).st_ino, saved);
    s->deleteServer(CamServer::create());  // not there: saves anyway
    EXPECT_NE(statOf(file()).st_ino, saved);
    s->deleteServer(a);
    EXPECT_EQ(s->getServers(), (std::vector<std::shared_ptr<CamServer>>{b, c}));
    s->deleteServer(b);
    s->deleteServer(c);
    EXPECT_EQ(s->getCurrent(), nullptr);
    EXPECT_EQ(savedRoot().keys(),
              QStringList({"cameraIdx", "lang", "quality", "server_count", "winPosition"}));
}

TEST_F(SettingsStore, StringsForKeyFollowTheLanguageName) {
    const struct {
        const char *lang, *key, *expected;
    } cases[] = {
        {"English", "Server:", "Server:"}, {"Русский", "Server:", "Сервер:"},
        {"Русский", "Port:", "Port:"},  // translated in another context only
        {"Русский", "Missing", "Missing"}, {"简体中文", "Server:", "服务器："},
        {"Deutsch", "Server:", "Server:"}, {"", "Server:", "Server:"},
    };
    auto s = open();
    for (const auto& c : cases) {
        s->setLang(c.lang);
        EXPECT_EQ(s->getStringForKey(c.key), QString(c.expected)) << c.lang << " " << c.key;
    }
}

// libplist reads reals with the process locale; a locale with a decimal
// comma must not turn 37.3 into 37.
TEST_F(SettingsStore, RealsIgnoreTheProcessLocale) {
    const QString locales = tmp.path() + "/locales";
    QDir().mkpath(locales);
    QProcess::execute("localedef", {"-i", "ru_RU", "-f", "UTF-8", locales + "/ru_RU.UTF-8"});
    qputenv("LOCPATH", QFile::encodeName(locales));
    if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8")) GTEST_SKIP() << "no decimal-comma locale";
    writeFile(plist(countKey("0") + "<key>quality</key><real>37.3</real>"));
    const double read = open()->quality();
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(read, double(37.3f));
}

TEST(SettingsFolder, FollowsXdgDataHome) {
    const QByteArray home = qgetenv("HOME"), xdg = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", "/home/u");
    const struct {
        const char *xdg, *expected;
    } cases[] = {{"", "/home/u/.local/share/Zorvan"},
                 {"/data", "/data/Zorvan"},
                 {"relative/dir", "/home/u/.local/share/Zorvan"}};
    for (const auto& c : cases) {
        qputenv("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(Settings::defaultFolder(), QString(c.expected)) << c.xdg;
    }
    qputenv("HOME", home);
    xdg.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", xdg);
}

TEST(SettingsShared, OneStoreMadeOnceAcrossThreads) {
    QTemporaryDir tmp;
    qputenv("HOME", tmp.path().toUtf8());  // never the real home
    qputenv("XDG_DATA_HOME", (tmp.path() + "/data").toUtf8());
    Settings* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &Settings::sharedSettings(); });
    for (auto& t : threads) t.join();
    for (Settings* p : seen) EXPECT_EQ(p, &Settings::sharedSettings());
    EXPECT_EQ(Settings::sharedSettings().getServers().size(), 1u);
    EXPECT_TRUE(QFileInfo(tmp.path() + "/data/Zorvan").isDir());
}

}  // namespace
