#include "serverprobe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QTcpSocket>

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

Q_LOGGING_CATEGORY(lcProbe, "zorvan.probe")

// What a resolver thread holds of its probe: the probe while it waits for
// this look-up, cleared under the lock when it stops waiting, so that a late
// answer is dropped instead of reaching a probe that moved on or is gone.
struct ServerProbe::LookupLink {
    std::mutex lock;
    ServerProbe* probe = nullptr;
    std::optional<QStringList> addresses;  // as the resolver gave them; empty: none
};

ServerProbe::ServerProbe(QObject* parent) : QObject(parent) {
    next_.setSingleShot(true);
    timeout_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &ServerProbe::connectNow);
    connect(&timeout_, &QTimer::timeout, this, [this] { finished(false); });
}

ServerProbe::~ServerProbe() {
    stop();
    // No event loop may be left to delete it later: at quit, for one.
    delete pending_.data();
}

void ServerProbe::start(const QString& host, quint16 port) {
    stop();
    if (host.isEmpty() || port == 0) return;
    host_ = host;
    port_ = port;
    active_ = true;
    failedOnce_ = false;
    const qint64 since = lastConnect_.isValid() ? lastConnect_.elapsed() : kIntervalMs;
    next_.start(static_cast<int>(std::max<qint64>(0, kIntervalMs - since)));
}

void ServerProbe::stop() {
    active_ = false;
    ++generation_;
    next_.stop();
    timeout_.stop();
    dropLookup();
    dropSocket();
}

void ServerProbe::dropSocket() {
    if (!socket_) return;
    socket_->disconnect(this);
    socket_->abort();
    // The socket may be the sender of the signal being handled: it goes
    // once that has returned (or with this probe, whichever comes first).
    delete pending_.data();
    pending_ = socket_.release();
    pending_->deleteLater();
}

void ServerProbe::dropLookup() {
    if (!lookup_) return;
    std::lock_guard<std::mutex> hold(lookup_->lock);
    lookup_->probe = nullptr;
    lookup_.reset();
}

void ServerProbe::connectNow() {
    if (!active_ || socket_ || lookup_) return;
    ++connects_;
    lastConnect_.start();
    // The time to look the name up counts towards the connect's.
    timeout_.start(kConnectTimeoutMs);
    if (!QHostAddress(host_).isNull()) {
        connectTo({host_});
        return;
    }
    auto link = std::make_shared<LookupLink>();
    link->probe = this;
    lookup_ = link;
    try {
        std::thread([link, name = host_.toStdString()] {
            addrinfo hints = {};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            QStringList addresses;
            if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
                // A few are enough: a name with hundreds must not keep one
                // probe going for long.
                for (const addrinfo* i = found; i && addresses.size() < 8; i = i->ai_next) {
                    if (i->ai_family != AF_INET && i->ai_family != AF_INET6) continue;
                    const QString a = QHostAddress(i->ai_addr).toString();
                    if (!addresses.contains(a)) addresses << a;
                }
                ::freeaddrinfo(found);
            }
            std::lock_guard<std::mutex> hold(link->lock);
            link->addresses = addresses;
            // A probe destroyed before delivery takes the posted event with it.
            if (link->probe) QCoreApplication::postEvent(link->probe, new QEvent(QEvent::User));
        }).detach();
    } catch (const std::system_error&) {
        lookup_.reset();
        finished(false);  // no thread to be had: counts as a failed connect
    }
}

void ServerProbe::customEvent(QEvent* event) {
    if (event->type() != QEvent::User || !lookup_) return;
    std::optional<QStringList> addresses;
    {
        std::lock_guard<std::mutex> hold(lookup_->lock);
        addresses = lookup_->addresses;
    }
    if (!addresses) return;  // an event of an earlier look-up
    dropLookup();
    connectTo(*addresses);
}

void ServerProbe::connectTo(QStringList addresses) {
    if (!active_) return;
    dropSocket();
    if (addresses.isEmpty()) {
        // A name that does not resolve: asked again more gently, so that
        // the resolver is not asked every second.
        finished(false, kUnresolvedIntervalMs);
        return;
    }
    untried_ = addresses;
    const QHostAddress address(untried_.takeFirst());
    socket_ = std::make_unique<QTcpSocket>();
    connect(socket_.get(), &QTcpSocket::connected, this, [this] { finished(true); });
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, [this] {
        // Refused here; the name's next address may take it (a server on
        // 127.0.0.1 only, asked by a name whose first address is ::1).
        if (untried_.isEmpty()) {
            finished(false);
        } else {
            QMetaObject::invokeMethod(
                this,
                [this, rest = untried_, generation = generation_] {
                    if (generation == generation_) connectTo(rest);
                },
                Qt::QueuedConnection);
        }
    });
    socket_->connectToHost(address, port_);
}

void ServerProbe::finished(bool connected, int gapMs) {
    if (!active_) return;
    ++generation_;
    timeout_.stop();
    dropLookup();
    dropSocket();
    if (connected) {
        const bool wasDown = failedOnce_;
        active_ = false;
        qCInfo(lcProbe) << host_ << port_ << (wasDown ? "is back" : "takes connections");
        if (wasDown) {
            emit back();
        } else {
            emit answering();
        }
        return;
    }
    if (!failedOnce_) {
        failedOnce_ = true;
        emit down();
        if (!active_) return;  // stopped by a receiver
    }
    // The next connect a second (or gapMs) after this one began.
    next_.start(static_cast<int>(std::max<qint64>(0, gapMs - lastConnect_.elapsed())));
}
