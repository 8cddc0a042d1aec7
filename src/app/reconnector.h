// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class NetlinkWatch;
class Reachability;
class ServerProbe;

// Keeps trying, by itself and silently, to load a server that did not
// answer: after a pause that starts at two seconds and doubles up to thirty,
// and at once when the server's host becomes reachable or unreachable or the
// machine's links, addresses or routes change. While the server refuses
// connections, a probe (a bare TCP connect, once a second) stands in for
// the pauses, and the load is tried the moment the server takes connections
// again. At most one attempt is out at a time; one that never reports counts
// as failed after attemptTimeoutMs.
//
// The controller starts it after telling the person that the server is not
// available, reports each attempt's outcome, and ends it on success and on
// every command of the person's own that loads a server (reload, another
// server, the server list). Main thread only.
class Reconnector : public QObject {
    Q_OBJECT

public:
    struct Timing {
        int firstPauseMs = 2000;
        int maxPauseMs = 30000;
        // A load cancelled before it started never reports; this bounds the
        // wait for it. A late report is still taken: success ends the retries.
        int attemptTimeoutMs = 10000;
        // Off only where the pauses alone must be seen (tests): no network
        // watch and no probe.
        bool watchNetwork = true;
    };

    // reload: loads the server's lists again, reporting as usual; false when
    // there is nothing to retry any more (the server is no longer the
    // current one), which ends the retries without a load.
    explicit Reconnector(std::function<bool()> reload, QObject* parent = nullptr);
    ~Reconnector() override;

    // Starts (or starts over) the retries for the server at host and port
    // (no probe when either is not a usable address).
    void start(const QString& host, const QString& port = {});
    // Ends the retries. An attempt still under way may yet report a failure;
    // takeFailure() keeps that one silent too.
    void cancel();
    bool isActive() const { return active_; }

    // A load reported that the server did not answer, or answered nonsense.
    // True when that report belongs to the retries and must stay silent;
    // false when it is the person's own and they should hear of it.
    bool takeFailure();
    // The lists arrived: the retries are over.
    void succeeded();

private:
    friend struct ReconnectorTestAccess;

    // An attempt starts.
    Q_SIGNAL void attempting();

    void setTiming(const Timing& timing) { timing_ = timing; }
    int attempts() const { return attempts_; }
    // The probe's connects so far.
    int probes() const;
    // The pause before the next attempt.
    int pauseMs() const { return pauseMs_; }

    void attempt();
    void attemptFailed();
    void retryNow();
    void wait();
    void probe();

    std::function<bool()> reload_;
    Timing timing_;
    QTimer pause_;
    QTimer attemptTimeout_;
    bool active_ = false;
    bool inFlight_ = false;
    bool retryWhenDone_ = false;  // the network changed during an attempt
    bool cancelledInFlight_ = false;
    int attempts_ = 0;
    int pauseMs_ = 0;
    int streak_ = 0;  // pauses since the start or the last network change
    std::unique_ptr<Reachability> host_;
    std::unique_ptr<NetlinkWatch> network_;
    std::unique_ptr<ServerProbe> probe_;  // kept, so its once-a-second gap holds throughout
    QString probeHost_;
    quint16 probePort_ = 0;  // 0: no probe
};
