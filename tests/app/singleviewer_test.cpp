// SPDX-License-Identifier: GPL-3.0-or-later
// One viewer per settings folder: which start becomes the viewer, and where a
// hand-over from a later start goes.

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "singleviewer.h"
#include "testutil.h"

namespace {

// A viewer that crashed: a child process takes the folder's lock, leaves a
// socket file nobody listens on, and dies without cleaning up either.
void leaveCrashedViewer(const QString& folder) {
    const SingleViewer names(folder);
    const QString lockPath = names.lockFilePath();
    const QByteArray socketPath = QFile::encodeName(names.serverName());
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        const bool locked = lock.tryLock(0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                           ::listen(fd, 1) == 0;
        ::_exit(locked && bound ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFileInfo::exists(lockPath) && QFileInfo::exists(names.serverName()));
}

// Hands over from another thread while this one runs the viewers' events.
SingleViewer::Reply handOverFromAnotherStart(const QString& serverName,
                                             const QStringList& arguments) {
    SingleViewer::Reply reply{-1, {}};
    std::unique_ptr<QThread> start(QThread::create(
        [&] { reply = SingleViewer::handOver(serverName, arguments, std::chrono::seconds(60)); }));
    start->start();
    EXPECT_TRUE(waitUntil([&] { return start->isFinished(); }, 90000));
    start->wait();
    return reply;
}

}  // namespace

TEST(SingleViewer, OneViewerPerSettingsFolder) {
    QTemporaryDir runtime;  // private (0700), as the user's runtime folder is
    const struct RuntimeFolder {
        explicit RuntimeFolder(const QString& path) : saved(qgetenv("XDG_RUNTIME_DIR")) {
            qputenv("XDG_RUNTIME_DIR", path.toLocal8Bit());
        }
        ~RuntimeFolder() {
            saved.isNull() ? void(qunsetenv("XDG_RUNTIME_DIR"))
                           : void(qputenv("XDG_RUNTIME_DIR", saved));
        }
        QByteArray saved;
    } runtimeFolder(runtime.path());

    const struct {
        const char* name;
        // Prepares the home folder; returns the second start's settings folder.
        std::function<QString(const QString& home)> second;
        bool firstRuns;  // a live first viewer holds home/a
        bool secondBecomesPrimary;
    } cases[] = {
        {"the same folder", [](const QString& home) { return home + "/a"; }, true, false},
        {"the same folder through a symbolic link",
         [](const QString& home) {
             QFile::link(home + "/a", home + "/link");
             return home + "/link";
         },
         true, false},
        {"another folder", [](const QString& home) { return home + "/b"; }, true, true},
        {"a folder whose viewer crashed",
         [](const QString& home) {
             leaveCrashedViewer(home + "/a");
             return home + "/a";
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        std::unique_ptr<SingleViewer> first;
        if (c.firstRuns) {
            first = std::make_unique<SingleViewer>(home.path() + "/a");
            ASSERT_TRUE(first->becomePrimary());
            ASSERT_TRUE(first->listen());
        }
        const QString folder = c.second(home.path());
        if (testing::Test::HasFatalFailure()) break;
        SingleViewer second(folder);
        ASSERT_EQ(second.becomePrimary(), c.secondBecomesPrimary);
        if (c.secondBecomesPrimary) ASSERT_TRUE(second.listen());

        // Whoever answers on the second start's name tells by its status.
        QStringList received;
        const auto answerWith = [&](int status) {
            return [&received, status](const QStringList& arguments, SingleViewer::Reply* reply) {
                received = arguments;
                *reply = {status, QString("answered %1").arg(status)};
            };
        };
        if (first) QObject::connect(first.get(), &SingleViewer::handedOver, answerWith(3));
        QObject::connect(&second, &SingleViewer::handedOver, answerWith(4));

        const QStringList arguments = {"zorvan", "--layout", "Гараж и двор", ""};
        const SingleViewer::Reply reply = handOverFromAnotherStart(second.serverName(), arguments);
        const int answerer = c.secondBecomesPrimary ? 4 : 3;
        EXPECT_EQ(reply.status, answerer);
        EXPECT_EQ(reply.message, QString("answered %1").arg(answerer));
        EXPECT_EQ(received, arguments);
    }
}
