// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class NetlinkWatch;

// Answers whether a host, an address, the network in general or the local
// link can be reached, and signals when that changes.
//
// The answer is built from three flags: reachable (the kernel has a route),
// connection required (never set on Linux) and is direct (the route needs no
// gateway). A host name is resolved on a thread of its own, so nothing here
// waits on the network; until its first answer, and when it does not
// resolve, the host counts as not reachable. The name is resolved again after
// every change of the network.
//
// A monitor belongs to the thread that makes it: call startNotifier() there,
// and its signal is sent from that thread's event loop. The notifier may be
// stopped, and the monitor destroyed, at any time, also from a receiver of
// its own signal or while a name is being resolved: no signal follows.
class Reachability : public QObject {
    Q_OBJECT

public:
    // Status values.
    static constexpr int NotReachable = 0;
    static constexpr int Reachable = 1;
    // The flags, with the values they have elsewhere.
    static constexpr std::uint32_t kFlagReachable = 0x2;
    static constexpr std::uint32_t kFlagConnectionRequired = 0x4;
    static constexpr std::uint32_t kFlagIsDirect = 0x20000;

    // Each returns a new monitor, or none when the target cannot be made (an
    // empty or overlong host name; an address neither IPv4 nor IPv6).
    static std::unique_ptr<Reachability> reachabilityWithHostName(const QString& hostName);
    static std::unique_ptr<Reachability> reachabilityWithAddress(const sockaddr* address);
    // The network in general (the address 0.0.0.0).
    static std::unique_ptr<Reachability> reachabilityForInternetConnection();
    // The link-local network 169.254.0.0, judged by the local-link rule.
    static std::unique_ptr<Reachability> reachabilityForLocalWiFi();

    ~Reachability() override;

    // Starts watching the network's changes; true when the watch could be
    // set up on this thread's event loop. Starting twice is harmless.
    bool startNotifier();
    void stopNotifier();

    // Reachable or NotReachable by the rule of this monitor; NotReachable
    // when the flags cannot be read.
    int currentReachabilityStatus() const;
    // Whether a connection would first have to be brought up; never on Linux.
    bool connectionRequired() const;
    // The current flags, or none when they cannot be read.
    std::optional<std::uint32_t> currentFlags() const;

    // The network rule: reachable, and no connection required.
    static int networkStatusForFlags(std::uint32_t flags);
    // The local-link rule: reachable and direct.
    static int localWiFiStatusForFlags(std::uint32_t flags);

    bool localWiFiRef() const { return localWiFiRef_; }
    QString hostName() const { return hostName_; }
    // True while the host name's first or a renewed resolution is under way.
    bool hostLookupPending() const { return lookupRunning_; }

signals:
    // The flags differ from those last seen; monitor is this object.
    void kNetworkReachabilityChangedNotification(Reachability* monitor);

protected:
    void customEvent(QEvent* event) override;

private:
    struct LookupLink;
    Reachability();
    void startLookup();
    void spawnLookup();
    void lookupFinished(std::vector<sockaddr_storage> addresses);
    void networkChanged();
    void notifyIfChanged();

    bool localWiFiRef_ = false;
    // The target: a host name (resolved into addresses) or a fixed address.
    QString hostName_;
    std::vector<sockaddr_storage> addresses_;

    std::unique_ptr<NetlinkWatch> watch_;  // present while notifying
    std::optional<std::uint32_t> lastFlags_;
    bool lookupRunning_ = false;
    bool lookupAgain_ = false;
    std::shared_ptr<LookupLink> lookupLink_;  // shared with resolver threads
};
