// SPDX-License-Identifier: GPL-3.0-or-later
#include "serverprobe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
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

namespace {

// The probes running, by address, and when each address was last connected
// to. Main thread only, like the probes.
std::multimap<QString, ServerProbe*>& running() {
    static std::multimap<QString, ServerProbe*> probes;
    return probes;
}
std::map<QString, QElapsedTimer>& lastConnects() {
    static std::map<QString, QElapsedTimer> times;
    return times;
}

// How long since the address was last connected to; kIntervalMs or more
// when never.
qint64 sinceLastConnect(const QString& key) {
    const auto it = lastConnects().find(key);
    return it == lastConnects().end() ? ServerProbe::kIntervalMs : it->second.elapsed();
}

}  // namespace

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
    key_ = host + u'\n' + QString::number(port);
    active_ = true;
    failedOnce_ = false;
    running().emplace(key_, this);
    next_.start(static_cast<int>(std::max<qint64>(0, kIntervalMs - sinceLastConnect(key_))));
}

void ServerProbe::stop() {
    if (active_) {
        const bool wasConnecting = socket_ || lookup_;
        const auto [from, to] = running().equal_range(key_);
        for (auto it = from; it != to; ++it) {
            if (it->second == this) {
                running().erase(it);
                break;
            }
        }
        // Probes of this address that waited for this connect's outcome
        // make the next connect themselves, a second after this one.
        if (wasConnecting) {
            const auto [first, last] = running().equal_range(key_);
            const auto wait = std::max<qint64>(0, kIntervalMs - sinceLastConnect(key_));
            for (auto it = first; it != last; ++it)
                if (!it->second->next_.isActive()) it->second->next_.start(static_cast<int>(wait));
        }
    }
    active_ = false;
    ++generation_;
    next_.stop();
    timeout_.stop();
    dropLookup();
    dropSocket();
}

void ServerProbe::dropSocket() {
    if (!socket_) return;
    socket_->setEnabled(false);
    socket_->disconnect(this);
    ::close(fd_);
    fd_ = -1;
    // The notifier may be the sender of the signal being handled: it goes
    // once that has returned (or with this probe, whichever comes first).
    delete pending_.data();
    pending_ = socket_.release();
    pending_->deleteLater();
}

bool ServerProbe::sharedConnectUnderWay() const {
    const auto [from, to] = running().equal_range(key_);
    for (auto it = from; it != to; ++it)
        if (it->second != this && (it->second->socket_ || it->second->lookup_)) return true;
    return false;
}

void ServerProbe::dropLookup() {
    if (!lookup_) return;
    std::lock_guard<std::mutex> hold(lookup_->lock);
    lookup_->probe = nullptr;
    lookup_.reset();
}

void ServerProbe::connectNow() {
    if (!active_ || socket_ || lookup_ || sharedConnectUnderWay()) return;
    // Another probe of this address connected less than a second ago (its
    // outcome reached this one too): the next connect keeps the gap.
    if (const qint64 since = sinceLastConnect(key_); since < kIntervalMs) {
        next_.start(static_cast<int>(kIntervalMs - since));
        return;
    }
    ++connects_;
    lastConnects()[key_].start();
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
    sockaddr_storage to = {};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&to);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port_);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        in6->sin6_scope_id = address.scopeId().toUInt();
        length = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&to);
        in->sin_family = AF_INET;
        in->sin_port = htons(port_);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
    }
    const int fd = ::socket(to.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        tryNextAddress();
        return;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), length) == 0) {
        ::close(fd);
        finished(true);
        return;
    }
    if (errno != EINPROGRESS) {
        ::close(fd);
        tryNextAddress();
        return;
    }
    fd_ = fd;
    socket_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(socket_.get(), &QSocketNotifier::activated, this, [this] {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        dropSocket();
        if (error == 0) {
            finished(true);
        } else {
            tryNextAddress();
        }
    });
}

void ServerProbe::tryNextAddress() {
    // Refused here; the name's next address may take it (a server on
    // 127.0.0.1 only, asked by a name whose first address is ::1).
    if (untried_.isEmpty()) {
        finished(false);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, rest = untried_, generation = generation_] {
            if (generation == generation_) connectTo(rest);
        },
        Qt::QueuedConnection);
}

void ServerProbe::finished(bool connected, int gapMs) {
    if (!active_) return;
    // Every other probe of this address waiting for its turn takes this
    // outcome as its own (after this one's, as this one's receivers may
    // start or stop probes).
    const QString key = key_;
    std::vector<QPointer<ServerProbe>> others;
    const auto [from, to] = running().equal_range(key);
    for (auto it = from; it != to; ++it)
        if (it->second != this) others.emplace_back(it->second);
    shareOutcome(connected, gapMs);
    for (const auto& other : others)
        if (other && other->active_ && other->key_ == key && !other->socket_ && !other->lookup_)
            other->shareOutcome(connected, gapMs);
}

void ServerProbe::shareOutcome(bool connected, int gapMs) {
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
    next_.start(static_cast<int>(std::max<qint64>(0, gapMs - sinceLastConnect(key_))));
}
