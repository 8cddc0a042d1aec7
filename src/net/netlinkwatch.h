// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Watches the kernel's links, addresses and routes (IPv4 and IPv6) of the
// network namespace of the thread that makes it, over an rtnetlink socket
// read from the event loop of that thread. A burst of kernel messages (one
// command often adds an address and two routes) becomes one changed() signal,
// sent once the burst has had settleMs to arrive.
//
// isOpen() is false when the socket could not be made; such a watch never
// signals. Lives and is used on one thread.
class NetlinkWatch : public QObject {
    Q_OBJECT

public:
    explicit NetlinkWatch(QObject* parent = nullptr, int settleMs = 50);
    ~NetlinkWatch() override;

    bool isOpen() const { return fd_ >= 0; }

signals:
    // Something about the links, addresses or routes changed. Also sent when
    // the kernel had to drop messages, since a change may be among them.
    void changed();

private:
    void readAll();

    int fd_ = -1;
    int settleMs_;
    bool flushPending_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};
