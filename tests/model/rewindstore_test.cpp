// SPDX-License-Identifier: GPL-3.0-or-later
// The rewind store. A part is written as its kind and time: S still, K key
// frame, P other packet, C configuration ("K2000"); its bytes are that text.

#include "rewindstore.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

using Part = RewindStore::Part;
constexpr qint64 kEnd = 1000000000;

void feed(RewindStore& store, const QString& camera, const QString& script) {
    for (const QString& w : script.split(' ', Qt::SkipEmptyParts)) {
        const Part::Kind kind = w[0] == 'S'   ? Part::Kind::Still
                                : w[0] == 'C' ? Part::Kind::VideoConfig
                                              : Part::Kind::VideoPacket;
        store.append(camera, {kind, w.mid(1).toLongLong(), w.toLatin1(), w[0] == 'K'});
    }
}

QString text(const std::vector<Part>& parts) {
    QStringList out;
    for (const Part& p : parts) out << QString::fromLatin1(p.bytes);
    return out.join(' ');
}

int mode(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

TEST(RewindStore, KeepsAndFinds) {
    const QString stills = "S1000 S2000 S3000", video = "C0 K1000 P1040 P1080 K2000 P2040";
    struct Row {
        const char* name;
        int minutes;
        QString script;
        qint64 from, to;  // from < 0: partBefore(to), else range(from, to)
        QString expect;
    };
    // clang-format off
    const Row rows[] = {
        {"still at",            5, stills, -1, 2000, "S2000"},
        {"still between",       5, stills, -1, 2999, "S2000"},
        {"before the first",    5, stills, -1, 999,  ""},
        {"video in a group",    5, video,  -1, 1080, "C0 K1000 P1040 P1080"},
        {"video at a key",      5, video,  -1, 2000, "C0 K2000"},
        {"video after the last",5, video,  -1, 9000, "C0 K2000 P2040"},
        {"before the first key",5, "P0 P40 K80 P120", -1, 40, ""},
        {"from the first key",  5, "P0 P40 K80 P120", 0, 200, "K80 P120"},
        {"range from key",      5, video + " C2500 K2500 P2540", 1040, 2500, "C0 K1000 P1040 P1080 K2000 P2040 C2500 K2500"},
        {"range before first",  5, stills, 0, 1500, "S1000"},
        {"range reversed",      5, stills, 3000, 1000, ""},
        {"still breaks video",  5, "K0 P40 S80 P120 K160 P200", 0, 999, "K0 P40 S80 K160 P200"},
        {"a clock stepped back",5, "S5000 S4000", -1, 5000, "S4000"},
        {"minutes kept",        1, "S0 S30000 S61000 S90000", 0, kEnd, "S30000 S61000 S90000"},
        {"group at the cutoff", 1, "K0 P30000 K50000 P61000", 0, kEnd, "K0 P30000 K50000 P61000"},
        {"group before cutoff", 1, "C0 K0 P30000 C40000 K50000 P100000 P111000", 0, kEnd, "C40000 K50000 P100000 P111000"},
    };
    // clang-format on
    for (const Row& r : rows) {
        RewindStore store({}, {r.minutes});
        feed(store, "cam", r.script);
        const auto got =
            r.from < 0 ? store.partBefore("cam", r.to) : store.range("cam", r.from, r.to);
        EXPECT_EQ(text(got), r.expect) << r.name;
    }
}

TEST(RewindStore, SilentCameraForgotten) {
    RewindStore store({}, {1});
    feed(store, "a", "S0 S1000");
    feed(store, "b", "S2000 S70000 S75000");
    EXPECT_EQ(store.cameras(), QStringList{"b"});
    EXPECT_EQ(store.span("b")->first, 2000);
    EXPECT_FALSE(store.span("a"));
}

// 100 parts of 1000 bytes, each its number repeated, one every 100 ms.
QByteArray bytesOf(int i) {
    return QByteArray(1000, char('a' + i % 26)) + QByteArray::number(i);
}

void feedBig(RewindStore& store, int count = 100) {
    for (int i = 0; i < count; ++i)
        store.append("cam", {Part::Kind::Still, 100 * i, bytesOf(i), true});
}

TEST(RewindStore, SpillsToDisk) {
    struct Row {
        qint64 diskCap;
        int firstKept;  // the oldest part kept, when the disk cap dropped the oldest
    };
    for (const Row r : {Row{1 << 20, 0}, Row{20000, 68}, Row{3000, 84}}) {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/cache/rewind";
        RewindStore store(folder, {5, 16000, r.diskCap, 4500});
        feedBig(store);
        const auto u = store.usage();
        EXPECT_LE(u.memoryBytes, 16000) << r.diskCap;
        EXPECT_LE(u.diskBytes, r.diskCap) << r.diskCap;
        EXPECT_GT(u.files, 0) << r.diskCap;
        const auto kept = store.range("cam", 0, kEnd);
        ASSERT_EQ(int(kept.size()), 100 - r.firstKept) << r.diskCap;
        for (int i = r.firstKept; i < 100; ++i) EXPECT_EQ(kept[i - r.firstKept].bytes, bytesOf(i));
        EXPECT_EQ(text(store.partBefore("cam", 150)),
                  r.firstKept ? "" : QString::fromLatin1(bytesOf(1)));
        EXPECT_EQ(mode(folder), 0700);
        EXPECT_EQ(mode(tmp.path() + "/cache"), 0700);
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            EXPECT_EQ(mode(folder + "/" + f), 0600);

        store.setEnabled(false);
        feedBig(store, 3);
        EXPECT_TRUE(QDir(folder).isEmpty());
        EXPECT_EQ(store.usage().memoryBytes, 0);
        EXPECT_TRUE(store.cameras().isEmpty());
    }
}

TEST(RewindStore, UnusableFolder) {
    // How the folder is spoilt, before the store starts or after; "" is one
    // that works (a loose one is made 0700).
    for (const char* how : {"", "under a file", "symbolic link", "other owner", "removed"}) {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/rewind", target = tmp.path() + "/target";
        QDir().mkpath(target);
        QDir().mkpath(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        const QString w = how;
        QString use = folder;
        if (w == "under a file") {
            QFile f(tmp.path() + "/file");
            f.open(QIODevice::WriteOnly);
            use = f.fileName() + "/rewind";
        } else if (w == "symbolic link") {
            QDir(folder).removeRecursively();
            QFile::link(target, folder);
        } else if (w == "other owner" &&
                   ::chown(QFile::encodeName(folder).constData(), 65534, 65534) != 0) {
            continue;  // not root: no folder of another user can be made
        }
        RewindStore store(use, {5, 16000, 1 << 20, 4500});
        if (w == "removed") QDir(folder).removeRecursively();
        feedBig(store);
        const bool works = w.isEmpty();
        EXPECT_EQ(store.usage().spilling, works) << how;
        EXPECT_EQ(store.usage().files > 0, works) << how;
        EXPECT_LE(store.usage().memoryBytes, 16000) << how;
        EXPECT_EQ(store.partBefore("cam", kEnd).at(0).bytes, bytesOf(99)) << how;
        EXPECT_EQ(store.span("cam")->first, works ? 0 : 8500) << how;
        EXPECT_TRUE(QDir(target).isEmpty()) << how;
        if (w.isEmpty() || w == "symbolic link") EXPECT_EQ(mode(folder), w.isEmpty() ? 0700 : 0777);
        if (w == "other owner") EXPECT_EQ(mode(folder), 0755);
    }
}

TEST(RewindStore, LeftoversOfOwnNameOnly) {
    QTemporaryDir tmp;
    const QStringList own{"rewind-1-1.zvr", "rewind-42-17.zvr"};
    const QStringList foreign{"notes.txt", "rewind-1-1.zvr.bak", "rewind-x-1.zvr"};
    for (const QString& name : own + foreign) {
        QFile f(tmp.path() + "/" + name);
        f.open(QIODevice::WriteOnly);
    }
    RewindStore running(tmp.path(), {5, 0, 1 << 20, 4500});
    feedBig(running, 5);
    const QStringList live =
        QDir(tmp.path()).entryList({QString("rewind-%1-*.zvr").arg(::getpid())}, QDir::Files);
    EXPECT_EQ(live.size(), 2);  // two of its own, none of the leftovers
    RewindStore second(tmp.path());
    QStringList expect = foreign + live;
    expect.sort();
    QStringList left = QDir(tmp.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, expect);
    EXPECT_EQ(running.range("cam", 0, kEnd).size(), 5u);
    running.clearAll();
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), foreign.size());
}

// A clip writer reading while appends go on (the thread sanitizer's case).
TEST(RewindStore, ReaderOnAnotherThread) {
    QTemporaryDir tmp;
    RewindStore store(tmp.path(), {1, 8000, 40000, 4500});
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done)
            for (const Part& p : store.range("cam", 0, kEnd)) ASSERT_EQ(p.bytes.size() / 1000, 1);
    });
    for (int i = 0; i < 2000; ++i)
        store.append("cam", {Part::Kind::Still, 100 * i, bytesOf(i), true});
    done = true;
    reader.join();
    EXPECT_EQ(store.partBefore("cam", kEnd).at(0).bytes, bytesOf(1999));
}

// What a camera showed at each of these times, kind, time and bytes.
QString shown(const RewindStore& store, const QString& camera, qint64 base) {
    QStringList out;
    for (qint64 t : {0, 150, 2050, 4000, 9999})
        for (const Part& p : store.partBefore(camera, base + t))
            out << QString("%1:%2:%3:%4")
                       .arg(int(p.kind))
                       .arg(p.time - base)
                       .arg(p.key)
                       .arg(qHash(p.bytes));
    return out.join(' ');
}

// A ring kept at quit and taken over at the next start, whole or, when its
// index or files are spoilt, not at all; a run's files without an index go.
TEST(RewindStore, KeptForTheNextRun) {
    for (const char* how : {"", "outside", "offset", "truncated", "no index"}) {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/rewind", w = how;
        const qint64 base = QDateTime::currentMSecsSinceEpoch() - 30000;
        QString before;
        {
            RewindStore store(folder, {5, 16000, 1 << 20, 4500});
            for (int i = 0; i < 100; ++i)
                store.append("cam", {Part::Kind::Still, base + 100 * i, bytesOf(i), true});
            feed(store, "video",
                 QString("C%1 K%1 P%2 P%3").arg(base).arg(base + 40).arg(base + 80));
            before = shown(store, "cam", base) + " / " + shown(store, "video", base);
            if (w != "no index") {
                ASSERT_TRUE(store.keepForNextRun()) << how;
                EXPECT_TRUE(store.cameras().isEmpty()) << how;
            }
        }
        const QString index = folder + "/rewind-index.zvi";
        const QStringList files = QDir(folder).entryList({"rewind-*.zvr"}, QDir::Files);
        ASSERT_FALSE(files.isEmpty()) << how;
        if (w == "outside") {
            // The same name's length, pointing out of the folder, at a copy.
            QFile f(index);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            const QByteArray name = files[0].toLatin1(), bytes = f.readAll();
            ASSERT_TRUE(QFile::copy(folder + "/" + files[0], tmp.path() + "/" + name.mid(3)));
            f.seek(0);
            f.write(QByteArray(bytes).replace(name, "../" + name.mid(3)));
        }
        if (w == "offset") QFile(folder + "/" + files.last()).resize(10);
        if (w == "truncated") QFile(index).resize(QFileInfo(index).size() - 5);
        if (w != "no index") EXPECT_EQ(mode(index), 0600) << how;

        RewindStore next(folder, {5, 16000, 1 << 20, 4500});
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(),
                  w == "no index" ? 0 : files.size() + 1)
            << how << ": the kept files wait for loadKept()";
        next.loadKept();
        const bool whole = w.isEmpty();
        EXPECT_EQ(shown(next, "cam", base) + " / " + shown(next, "video", base),
                  whole ? before : " / ")
            << how;
        EXPECT_FALSE(QFile::exists(index)) << how;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), whole ? files.size() : 0) << how;
        if (w == "outside") EXPECT_TRUE(QFile::exists(tmp.path() + "/" + files[0].mid(3)));
    }
}

}  // namespace
