// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlinkwatch.h"

#include <QSocketNotifier>
#include <QTimer>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

NetlinkWatch::NetlinkWatch(QObject* parent, int settleMs) : QObject(parent), settleMs_(settleMs) {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return;
    sockaddr_nl local = {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE |
                      RTMGRP_IPV6_ROUTE;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &NetlinkWatch::readAll);
}

NetlinkWatch::~NetlinkWatch() {
    notifier_.reset();  // before its descriptor goes
    if (fd_ >= 0) ::close(fd_);
}

void NetlinkWatch::readAll() {
    // Only that something changed matters, not what: the readers ask the
    // kernel again. So the messages are drained and not parsed.
    char buffer[16384];
    bool any = false;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // ENOBUFS: the kernel dropped messages because we were slow; some
        // change happened. EAGAIN: drained.
        if (n < 0 && errno == ENOBUFS) {
            any = true;
            continue;
        }
        break;
    }
    if (!any || flushPending_) return;
    flushPending_ = true;
    // Single shot with this object as context: cancelled if the watch goes
    // first, and the watch may be destroyed by a receiver of changed().
    QTimer::singleShot(settleMs_, this, [this] {
        flushPending_ = false;
        emit changed();
    });
}
