// SPDX-License-Identifier: GPL-3.0-or-later
// One viewer per settings folder: which start becomes the viewer, and which
// viewer answers a later start's hand-over.

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "singleviewer.h"
#include "testutil.h"

namespace {

// A crashed viewer: a child process takes the folder's lock, binds its socket
// name and dies without cleaning up either.
bool leaveCrashedViewer(const SingleViewer& names) {
    const QString lockPath = names.lockFilePath();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(names.serverName()).constData(),
                 sizeof address.sun_path - 1);
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile lock(lockPath);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const auto* at = reinterpret_cast<const sockaddr*>(&address);
        ::_exit(lock.tryLock(0) && ::bind(fd, at, sizeof address) == 0 ? 0 : 1);
    }
    int status = -1;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Another local user to plant things as: "nobody", which only root may become.
std::optional<std::pair<uid_t, gid_t>> otherUser() {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody) return std::nullopt;
    return std::pair{nobody->pw_uid, nobody->pw_gid};
}

mode_t modeOwnedByUs(const QString& path) {
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || st.st_uid != ::geteuid())
        return 0;
    return st.st_mode & 07777;
}

void setEnv(const char* name, const QString& value) {
    if (value.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, value.toLocal8Bit());
    }
}

}  // namespace

// The lock and the socket go only into a folder nobody else may write to.
TEST(SingleViewer, TheLockGoesIntoAFolderOfThisUserAlone) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedTemp = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    });
    const auto other = otherUser();
    const auto plant = [&](const QString& folder) {
        return ::chown(QFile::encodeName(folder).constData(), other->first, other->second) == 0;
    };
    const QString tempRoot = QDir::tempPath();
    enum Where { Given, Temp, Settings };
    // clang-format off
    const struct { const char* name; mode_t mode; bool others, tempSquatted; Where where; } cases[] = {
        {"run", 0700, false, false, Given}, {"run", 01777, false, false, Temp},
        {"run", 0700, true, false, Temp},   {nullptr, 0, false, false, Temp},
        {"run", 0750, false, false, Temp},  {"link", 0700, false, false, Temp},
        {nullptr, 0, false, true, Settings}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.name << " " << std::oct << c.mode << c.others << c.tempSquatted);
        if ((c.others || c.tempSquatted) && !other) {
            std::printf("skipped: no other user to plant a folder as (needs root and nobody)\n");
            continue;
        }
        QTemporaryDir home(tempRoot + "/zorvan-test-XXXXXX");
        const QString given = home.filePath("run"), temp = home.filePath("tmp");
        const QString own = temp + QStringLiteral("/zorvan-%1").arg(::geteuid());
        ASSERT_TRUE(QDir().mkpath(given) && QDir().mkpath(temp));
        ASSERT_TRUE(QFile::link(given, home.filePath("link")));
        ASSERT_EQ(::chmod(QFile::encodeName(given).constData(), c.mode), 0);
        if (c.others) ASSERT_TRUE(plant(given));
        if (c.tempSquatted) ASSERT_TRUE(QDir().mkpath(own) && plant(own));
        setEnv("XDG_RUNTIME_DIR", c.name ? home.filePath(c.name) : QString());
        setEnv("TMPDIR", temp);

        // A first start: the settings folder is made, for this user alone.
        const QString settings = home.filePath("data/Zorvan");
        const SingleViewer viewer(settings);
        EXPECT_EQ(modeOwnedByUs(home.filePath("data")), 0700);
        EXPECT_EQ(modeOwnedByUs(settings), 0700);
        const QString folder = QFileInfo(viewer.lockFilePath()).path();
        const QString expected[] = {given, own, settings};
        EXPECT_EQ(folder.toStdString(), expected[c.where].toStdString());
        EXPECT_EQ(QFileInfo(viewer.serverName()).path(), folder);
        EXPECT_EQ(modeOwnedByUs(folder), 0700);
    }
}

// A process of another user listening under a viewer's name is not the
// viewer: it never gets the command line.
TEST(SingleViewer, AnotherUsersListenerNeverGetsTheArguments) {
    const auto other = otherUser();
    if (!other) GTEST_SKIP() << "no other user to listen as (needs root and nobody)";
    QTemporaryDir shared;
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString name = shared.filePath("zorvan-planted.socket");
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(name).constData(),
                 sizeof address.sun_path - 1);
    int ready[2], done[2];
    ASSERT_TRUE(::pipe(ready) == 0 && ::pipe(done) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Listens as the other user until done closes; exits 1 on any byte.
        ::close(done[1]);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(other->second) != 0 || ::setuid(other->first) != 0 ||
            ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0 || ::write(ready[1], "1", 1) != 1)
            ::_exit(2);
        int received = 0;
        for (pollfd fds[] = {{fd, POLLIN, 0}, {done[0], POLLIN, 0}};
             ::poll(fds, 2, -1) > 0 && !fds[1].revents;) {
            const int peer = ::accept(fd, nullptr, nullptr);
            char buffer[256];
            for (ssize_t n; peer >= 0 && (n = ::read(peer, buffer, sizeof buffer)) > 0;)
                received += n;
            ::close(peer);
        }
        ::_exit(received ? 1 : 0);
    }
    ::close(done[0]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1) << "the other user listens";
    const SingleViewer::Reply reply =
        SingleViewer::handOver(name, {"zorvan", "--full-screen"}, std::chrono::milliseconds(500));
    ::close(done[1]);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(reply.status, SingleViewer::kUnreachable);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "it got the arguments";
}

TEST(SingleViewer, OneViewerPerSettingsFolder) {
    QTemporaryDir runtime;  // private (0700), as the user's runtime folder is
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", savedRuntime); });

    // "link" leads to "a"; a first viewer not crashed is alive and holds "a".
    // clang-format off
    const struct { const char* secondFolder; bool firstCrashed, secondBecomesPrimary; } cases[] = {
        {"a", false, false}, {"link", false, false}, {"b", false, true}, {"a", true, true}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.secondFolder << c.firstCrashed);
        QTemporaryDir home;
        QFile::link(home.filePath("a"), home.filePath("link"));
        SingleViewer first(home.filePath("a"));
        if (c.firstCrashed) {
            ASSERT_TRUE(leaveCrashedViewer(first));
        } else {
            ASSERT_TRUE(first.becomePrimary() && first.listen());
        }
        SingleViewer second(home.filePath(c.secondFolder));
        ASSERT_EQ(second.becomePrimary(), c.secondBecomesPrimary);
        if (c.secondBecomesPrimary) ASSERT_TRUE(second.listen());

        // The status tells which viewer answered.
        QStringList received;
        for (auto [viewer, status] : {std::pair{&first, 3}, {&second, 4}})
            QObject::connect(viewer, &SingleViewer::handedOver,
                             [&received, status](const QStringList& args, SingleViewer::Reply* r) {
                                 received = args;
                                 *r = {status, QString::number(status)};
                             });

        // From another thread, as this one runs the viewers' events.
        const QStringList arguments = {"zorvan", "--layout", "Гараж и двор", ""};
        SingleViewer::Reply reply{-1, {}};
        std::unique_ptr<QThread> start(QThread::create([&] {
            reply = SingleViewer::handOver(second.serverName(), arguments, std::chrono::minutes(1));
        }));
        start->start();
        EXPECT_TRUE(waitUntil([&] { return start->isFinished(); }, 90000));
        start->wait();
        const int answerer = c.secondBecomesPrimary ? 4 : 3;
        EXPECT_EQ(reply.status, answerer);
        EXPECT_EQ(reply.message, QString::number(answerer));
        EXPECT_EQ(received, arguments);
    }
}
