// SPDX-License-Identifier: GPL-3.0-or-later
#include "reachability.h"

#include "netlinkwatch.h"
#include "routeprobe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

// What a resolver thread holds of its monitor: the monitor's address while
// it lives, cleared under the lock when it goes, so that a late answer is
// dropped instead of reaching a destroyed object.
struct Reachability::LookupLink {
    std::mutex lock;
    Reachability* monitor = nullptr;
    // The answer travels here, under the lock, and only a plain event goes
    // through Qt's queue: the lock orders the resolver's writes before the
    // monitor's reads in a way race detectors can see.
    std::optional<std::vector<sockaddr_storage>> answer;
};

namespace {

std::optional<sockaddr_storage> numericAddress(const QByteArray& text) {
    sockaddr_storage s = {};
    auto& v4 = reinterpret_cast<sockaddr_in&>(s);
    if (::inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        return s;
    }
    auto& v6 = reinterpret_cast<sockaddr_in6&>(s);
    if (::inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        return s;
    }
    return std::nullopt;
}

std::unique_ptr<Reachability> forIPv4(const char* dotted) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, dotted, &a.sin_addr);
    return Reachability::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&a));
}

}  // namespace

Reachability::Reachability() : lookupLink_(std::make_shared<LookupLink>()) {
    lookupLink_->monitor = this;
}

Reachability::~Reachability() {
    std::lock_guard<std::mutex> hold(lookupLink_->lock);
    lookupLink_->monitor = nullptr;
}

std::unique_ptr<Reachability> Reachability::reachabilityWithHostName(const QString& hostName) {
    const QByteArray utf8 = hostName.toUtf8();
    // 253 characters is the longest name DNS can carry.
    if (utf8.isEmpty() || utf8.size() > 253 || utf8.contains('\0')) return nullptr;
    std::unique_ptr<Reachability> r(new Reachability);
    r->hostName_ = hostName;
    if (const auto address = numericAddress(utf8)) {
        r->addresses_.push_back(*address);
    } else {
        r->startLookup();
    }
    return r;
}

std::unique_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* address) {
    if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
        return nullptr;
    std::unique_ptr<Reachability> r(new Reachability);
    sockaddr_storage s = {};
    std::memcpy(&s, address,
                address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6));
    r->addresses_.push_back(s);
    return r;
}

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    return forIPv4("0.0.0.0");
}

std::unique_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    auto r = forIPv4("169.254.0.0");
    if (r) r->localWiFiRef_ = true;
    return r;
}

bool Reachability::startNotifier() {
    if (thread() != QThread::currentThread()) return false;
    if (watch_) return true;
    auto watch = std::make_unique<NetlinkWatch>();
    if (!watch->isOpen()) return false;
    connect(watch.get(), &NetlinkWatch::changed, this, &Reachability::networkChanged);
    watch_ = std::move(watch);
    lastFlags_ = currentFlags();
    return true;
}

void Reachability::stopNotifier() {
    // A running name lookup still finishes and updates the addresses, but
    // nothing is signalled without the watch.
    watch_.reset();
    lastFlags_.reset();
}

std::optional<std::uint32_t> Reachability::currentFlags() const {
    if (addresses_.empty()) {
        // A name not (yet) resolved: readable, and not reachable.
        return hostName_.isEmpty() ? std::nullopt : std::optional<std::uint32_t>(0u);
    }
    // A host: the first of its addresses that can be reached, in the
    // resolver's order of preference.
    std::optional<std::uint32_t> result;
    for (const sockaddr_storage& a : addresses_) {
        const auto flags = routeprobe::flagsForAddress(a);
        if (!flags) continue;
        if (*flags & kFlagReachable) return flags;
        result = flags;
    }
    return result;
}

int Reachability::currentReachabilityStatus() const {
    const auto flags = currentFlags();
    if (!flags) return NotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(*flags) : networkStatusForFlags(*flags);
}

bool Reachability::connectionRequired() const {
    const auto flags = currentFlags();
    return flags && (*flags & kFlagConnectionRequired);
}

int Reachability::networkStatusForFlags(std::uint32_t flags) {
    return (flags & kFlagReachable) && !(flags & kFlagConnectionRequired) ? Reachable
                                                                          : NotReachable;
}

int Reachability::localWiFiStatusForFlags(std::uint32_t flags) {
    return (flags & kFlagReachable) && (flags & kFlagIsDirect) ? Reachable : NotReachable;
}

void Reachability::startLookup() {
    if (lookupRunning_) {
        lookupAgain_ = true;  // the network changed during the lookup
        return;
    }
    lookupRunning_ = true;
    try {
        spawnLookup();
    } catch (const std::system_error&) {
        // No thread to be had: the host stays as it was known.
        lookupRunning_ = false;
    }
}

void Reachability::spawnLookup() {
    std::thread([link = lookupLink_, name = hostName_.toStdString()] {
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        std::vector<sockaddr_storage> addresses;
        if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
            // A few addresses are enough to judge a host; a name with
            // hundreds must not make every check probe them all.
            for (const addrinfo* i = found; i && addresses.size() < 16; i = i->ai_next) {
                if (i->ai_family != AF_INET && i->ai_family != AF_INET6) continue;
                sockaddr_storage s = {};
                std::memcpy(&s, i->ai_addr, std::min<size_t>(i->ai_addrlen, sizeof(s)));
                addresses.push_back(s);
            }
            ::freeaddrinfo(found);
        }
        std::lock_guard<std::mutex> hold(link->lock);
        link->answer = std::move(addresses);
        // A monitor destroyed before delivery takes the posted event with it.
        if (link->monitor) QCoreApplication::postEvent(link->monitor, new QEvent(QEvent::User));
    }).detach();
}

void Reachability::customEvent(QEvent* event) {
    if (event->type() != QEvent::User) return;
    std::optional<std::vector<sockaddr_storage>> answer;
    {
        std::lock_guard<std::mutex> hold(lookupLink_->lock);
        answer.swap(lookupLink_->answer);
    }
    if (answer) lookupFinished(std::move(*answer));
}

void Reachability::lookupFinished(std::vector<sockaddr_storage> addresses) {
    lookupRunning_ = false;
    addresses_ = std::move(addresses);
    if (lookupAgain_) {
        lookupAgain_ = false;
        startLookup();
    }
    notifyIfChanged();
}

void Reachability::networkChanged() {
    if (!hostName_.isEmpty() && !numericAddress(hostName_.toUtf8())) startLookup();
    notifyIfChanged();
}

void Reachability::notifyIfChanged() {
    if (!watch_) return;
    const auto flags = currentFlags();
    if (flags == lastFlags_) return;
    lastFlags_ = flags;
    emit kNetworkReachabilityChangedNotification(this);
}
