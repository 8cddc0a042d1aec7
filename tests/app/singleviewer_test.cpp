// SPDX-License-Identifier: GPL-3.0-or-later
// One viewer per settings folder: which start becomes the viewer, and which
// viewer answers a later start's hand-over.

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

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

}  // namespace

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
