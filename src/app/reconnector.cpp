// SPDX-License-Identifier: GPL-3.0-or-later
#include "reconnector.h"

#include "netlinkwatch.h"
#include "reachability.h"
#include "serverprobe.h"
#include "serverurl.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcReconnect, "zorvan.reconnect")

Reconnector::Reconnector(std::function<bool()> reload, QObject* parent)
    : QObject(parent), reload_(std::move(reload)), probe_(std::make_unique<ServerProbe>()) {
    pause_.setSingleShot(true);
    attemptTimeout_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &Reconnector::attempt);
    connect(&attemptTimeout_, &QTimer::timeout, this, &Reconnector::attemptFailed);
    // Refused: the probe will tell when the server is back, and the pauses'
    // loads would only add connections to a server that takes none.
    connect(probe_.get(), &ServerProbe::down, this, [this] {
        if (active_ && !inFlight_) pause_.stop();
    });
    connect(probe_.get(), &ServerProbe::back, this, &Reconnector::retryNow);
}

Reconnector::~Reconnector() = default;

int Reconnector::probes() const {
    return probe_->connects();
}

void Reconnector::start(const QString& host, const QString& port) {
    cancel();
    cancelledInFlight_ = false;
    active_ = true;
    attempts_ = 0;
    streak_ = 0;
    qCInfo(lcReconnect) << "Retrying" << host;
    // Only an address a request could go to is probed.
    const bool usable = ServerUrl::isSafeHost(host) && ServerUrl::isSafePort(port);
    probeHost_ = host;
    probePort_ = usable ? static_cast<quint16>(port.toUInt()) : 0;
    // Either watch may be missing (no such name, no rtnetlink); the pauses
    // alone still bring the server back.
    if (!timing_.watchNetwork) {
        wait();
        return;
    }
    host_ = Reachability::reachabilityWithHostName(host);
    if (host_) {
        connect(host_.get(), &Reachability::kNetworkReachabilityChangedNotification, this,
                &Reconnector::retryNow);
        host_->startNotifier();
    }
    network_ = std::make_unique<NetlinkWatch>();
    connect(network_.get(), &NetlinkWatch::changed, this, &Reconnector::retryNow);
    wait();
    probe();
}

void Reconnector::probe() {
    if (active_ && timing_.watchNetwork && probePort_ != 0) probe_->start(probeHost_, probePort_);
}

void Reconnector::cancel() {
    if (active_ && inFlight_) cancelledInFlight_ = true;
    active_ = false;
    inFlight_ = false;
    retryWhenDone_ = false;
    pause_.stop();
    attemptTimeout_.stop();
    probe_->stop();
    host_.reset();
    network_.reset();
}

bool Reconnector::takeFailure() {
    if (active_) {
        attemptFailed();
        return true;
    }
    if (cancelledInFlight_) {
        cancelledInFlight_ = false;
        return true;
    }
    return false;
}

void Reconnector::succeeded() {
    if (active_) qCInfo(lcReconnect) << "Server is back after" << attempts_ << "attempts";
    cancel();
    cancelledInFlight_ = false;
}

void Reconnector::wait() {
    // 2, 4, 8, 16, 30, 30... seconds: first * 2^streak, capped.
    const qint64 pause = qint64(timing_.firstPauseMs) << std::min(streak_, 20);
    pauseMs_ = static_cast<int>(std::min<qint64>(pause, timing_.maxPauseMs));
    ++streak_;
    pause_.start(pauseMs_);
}

void Reconnector::attempt() {
    if (!active_ || inFlight_) return;
    inFlight_ = true;
    ++attempts_;
    attemptTimeout_.start(timing_.attemptTimeoutMs);
    if (!reload_()) {
        inFlight_ = false;  // no load went out: nothing of it will report
        cancel();
        return;
    }
    emit attempting();
}

void Reconnector::attemptFailed() {
    if (!active_) return;
    // A report with no attempt out (a late one, after its attempt had timed
    // out) changes nothing: the next attempt is already planned.
    if (!inFlight_) return;
    inFlight_ = false;
    attemptTimeout_.stop();
    if (retryWhenDone_) {
        retryWhenDone_ = false;
        attempt();
        return;
    }
    wait();
    probe();
}

void Reconnector::retryNow() {
    if (!active_) return;
    // The network changed: the server may be back, so try now and let the
    // pauses grow again from the start.
    streak_ = 0;
    if (inFlight_) {
        retryWhenDone_ = true;
        return;
    }
    pause_.stop();
    attempt();
}
