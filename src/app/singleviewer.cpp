// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleviewer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <functional>
#include <utility>

#include "settingsfile.h"

namespace {

// Each message is a 4-byte big-endian length and a QDataStream payload. A
// request is the tag, the protocol version and the argument list; a reply
// is the exit status and the message. The version lets a later viewer tell
// an older second start (or the other way round) from garbage.
const QByteArray kTag = QByteArrayLiteral("zorvan-hand-over");
constexpr quint32 kProtocolVersion = 1;
// Far above any command line; a larger length is not a hand-over.
constexpr quint32 kMaxFrame = 1 << 20;
// How long the running viewer waits for a connected second start to send
// its request before dropping it.
constexpr int kRequestTimeoutMs = 30000;
// Between connection attempts while the running viewer is still starting.
constexpr int kRetryMs = 100;

QByteArray framed(const QByteArray& payload) {
    QByteArray frame(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    return frame + payload;
}

// The payload of a whole frame waiting in device, taken out of it; empty
// while it is still incomplete. ok turns false on a length beyond reason.
QByteArray takeFrame(QIODevice& device, bool& ok) {
    ok = true;
    char head[4];
    if (device.peek(head, 4) != 4) return {};
    const quint32 length = qFromBigEndian<quint32>(head);
    if (length == 0 || length > kMaxFrame) {
        ok = false;
        return {};
    }
    if (device.bytesAvailable() < qint64(4 + length)) return {};
    device.skip(4);
    return device.read(length);
}

// A folder nobody but this user may put anything into: a real folder, not
// a link, owned by us and closed to everybody else.
bool isPrivateFolder(const QString& folder) {
    struct stat st;
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

// Whether the process at the other end of a connected local socket is this
// user's; a peer whose user cannot be told is not.
bool peerIsOurs(qintptr descriptor) {
    if (descriptor < 0) return false;
#ifdef SO_PEERCRED
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(int(descriptor), &uid, &gid) == 0 && uid == ::geteuid();
#endif
}

// Connects to the viewer on serverName, sends arguments and waits for the
// reply, all before deadline. takeLock, when given, is tried before each
// connection attempt and once more when the viewer goes without answering;
// once it succeeds this process is the viewer, and the answer is empty.
std::optional<SingleViewer::Reply> exchange(const QString& serverName, const QStringList& arguments,
                                            const QDeadlineTimer& deadline,
                                            const std::function<bool()>& takeLock) {
    const SingleViewer::Reply unreachable{
        SingleViewer::kUnreachable,
        QStringLiteral("zorvan: another viewer runs on these settings but does not answer "
                       "(at %1); if it hangs, end it and start again")
            .arg(serverName)};
    const auto lockTaken = [&] { return takeLock && takeLock(); };

    QLocalSocket socket;
    // A viewer that has just taken the lock may not listen yet, and one that
    // crashed has left a socket file nobody listens on until the next viewer
    // replaces it: both refuse for a moment. A listener of another user is
    // not a viewer of ours, whatever it answers: it never sees the arguments.
    bool foreignWarned = false;
    for (;;) {
        if (lockTaken()) return std::nullopt;
        socket.connectToServer(serverName);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            if (peerIsOurs(socket.socketDescriptor())) break;
            if (!std::exchange(foreignWarned, true))
                qWarning("Zorvan: %s is another user's; not handing the command line over to it",
                         qUtf8Printable(serverName));
        }
        socket.abort();
        if (deadline.hasExpired()) return unreachable;
        QThread::msleep(std::min<qint64>(kRetryMs, std::max<qint64>(deadline.remainingTime(), 0)));
    }

    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kTag << kProtocolVersion << arguments;
    socket.write(framed(request));
    socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1)));

    for (;;) {
        bool ok = true;
        const QByteArray payload = takeFrame(socket, ok);
        if (!ok) return unreachable;
        if (!payload.isEmpty()) {
            QDataStream in(payload);
            in.setVersion(QDataStream::Qt_6_0);
            qint32 status = 0;
            SingleViewer::Reply reply;
            in >> status >> reply.message;
            if (in.status() != QDataStream::Ok) return unreachable;
            reply.status = status;
            return reply;
        }
        // A viewer that closed without answering may have been quitting:
        // once its lock is free, this start is the viewer instead.
        if (socket.state() != QLocalSocket::ConnectedState)
            return lockTaken() ? std::nullopt : std::optional(unreachable);
        if (deadline.hasExpired()) return unreachable;
        socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    }
}

}  // namespace

QString SingleViewer::runtimeFolder(const QString& settingsFolder) {
    const QString given = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!given.isEmpty() && !QDir::isRelativePath(given) && isPrivateFolder(given)) return given;
    if (!given.isEmpty())
        qWarning("Zorvan: the runtime folder %s is not this user's alone; not using it",
                 qUtf8Printable(given));
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("zorvan-%1").arg(::geteuid()));
    // An existing one is checked like a new one: another user may have made it.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own)) return own;
    qWarning("Zorvan: %s is not this user's alone; the lock goes into the settings folder",
             qUtf8Printable(own));
    return settingsFolder;
}

SingleViewer::SingleViewer(const QString& settingsFolder, QObject* parent) : QObject(parent) {
    // The same file reached through a symbolic link or a path spelled
    // differently must give the same name, hence the canonical path, which
    // only a folder that exists has.
    SettingsFile::makeFolder(settingsFolder);
    QString canonical = QFileInfo(settingsFolder).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(QFileInfo(settingsFolder).absoluteFilePath());
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    const QDir runtime(runtimeFolder(canonical));
    lockFilePath_ = runtime.filePath(QStringLiteral("zorvan-%1.lock").arg(hash));
    serverName_ = runtime.filePath(QStringLiteral("zorvan-%1.socket").arg(hash));
}

SingleViewer::~SingleViewer() {
    // The socket goes before the lock: once the lock is free a new viewer may
    // listen on the same name, and closing ours afterwards would remove its
    // socket file.
    delete server_;
}

bool SingleViewer::becomePrimary() {
    if (lock_ && lock_->isLocked()) return true;
    lock_ = std::make_unique<QLockFile>(lockFilePath_);
    // Stale only when its owner's process is gone: any age would sooner or
    // later take a long-running viewer's lock for a forgotten one.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return true;
    if (lock_->error() == QLockFile::LockFailedError) return false;
    qWarning(
        "Zorvan: cannot make the lock file %s; starting without guarding the settings "
        "against a second viewer",
        qUtf8Printable(lockFilePath_));
    return true;
}

bool SingleViewer::listen() {
    if (!lock_ || !lock_->isLocked()) return false;
    if (server_) return server_->isListening();
    // Owned by the application object, so that the socket closes while the
    // application still runs, and while this object still holds the lock.
    server_ = new QLocalServer(QCoreApplication::instance());
    // Holding the lock, a socket file under our name is a crashed viewer's.
    QLocalServer::removeServer(serverName_);
    // Only this user may hand a command line over, also where the runtime
    // folder is a shared one (no XDG_RUNTIME_DIR: the temporary folder).
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) {
        qWarning("Zorvan: cannot listen on %s: %s", qUtf8Printable(serverName_),
                 qUtf8Printable(server_->errorString()));
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleViewer::onNewConnection);
    return true;
}

void SingleViewer::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // The socket file is this user's alone, but the superuser reaches it
        // anyway: only this user's starts hand a command line over.
        if (!peerIsOurs(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
        onReadyRead(socket);
    }
}

void SingleViewer::onReadyRead(QLocalSocket* socket) {
    bool ok = true;
    const QByteArray payload = takeFrame(*socket, ok);
    if (!ok) {
        socket->abort();
        return;
    }
    if (payload.isEmpty()) return;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    QByteArray tag;
    quint32 version = 0;
    QStringList arguments;
    in >> tag >> version >> arguments;
    if (in.status() != QDataStream::Ok || tag != kTag || version != kProtocolVersion) {
        socket->abort();
        return;
    }
    socket->disconnect(this);

    Reply reply;
    emit handedOver(arguments, &reply);

    QByteArray answer;
    QDataStream out(&answer, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << qint32(reply.status) << reply.message;
    socket->write(framed(answer));
    // Closes once the reply is written.
    socket->disconnectFromServer();
}

SingleViewer::Reply SingleViewer::handOver(const QString& serverName, const QStringList& arguments,
                                           std::chrono::milliseconds timeout) {
    return *exchange(serverName, arguments, QDeadlineTimer(timeout), {});
}

std::optional<SingleViewer::Reply> SingleViewer::handOverOrBecomePrimary(
    const QStringList& arguments, std::chrono::milliseconds timeout) {
    return exchange(serverName_, arguments, QDeadlineTimer(timeout),
                    [this] { return becomePrimary(); });
}
