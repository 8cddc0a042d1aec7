// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// Finds out cheaply whether a server takes connections again: a TCP connect
// to its address and port, closed as soon as it is made, without a byte
// sent, which costs the server nothing. While the connects fail it tries
// again, never two at once and never more than one a second (the gap holds
// across stop() and start() too). The gap and the connects are the
// address's, not the probe's: probes of one host and port running at the
// same time (the retries of the lists and the picture's own) share one
// connect a second, and each takes its outcome. A host name is looked up on a thread of
// its own, so nothing waits on the resolver, however long it takes, and
// quitting does not wait for it either. Main thread (the thread that makes
// it).
class ServerProbe : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1000;
    // A connect with no outcome after this long counts as failed.
    static constexpr int kConnectTimeoutMs = 3000;
    // The gap after a name that did not resolve.
    static constexpr int kUnresolvedIntervalMs = 5000;

    explicit ServerProbe(QObject* parent = nullptr);
    ~ServerProbe() override;

    // Starts probing host at port (1 to 65535): the first connect leaves at
    // once, or when a second has passed since the last one.
    void start(const QString& host, quint16 port);
    void stop();
    bool isActive() const { return active_; }
    // Connects begun since the probe was made.
    int connects() const { return connects_; }

signals:
    // A connect succeeded after at least one that failed: the server is
    // back. Probing stops.
    void back();
    // The first connect succeeded: the server takes connections, so whatever
    // failed was not an outage of this kind. Probing stops.
    void answering();
    // The first connect failed: the server does not take connections.
    // Probing goes on.
    void down();

protected:
    void customEvent(QEvent* event) override;

private:
    struct LookupLink;
    // Another probe of the same address has a connect under way: its
    // outcome will be this one's too.
    bool sharedConnectUnderWay() const;
    // The outcome of a connect another probe of the same address made.
    void shareOutcome(bool connected, int gapMs);
    void connectNow();
    // Tries the addresses in turn until one takes the connection.
    void connectTo(QStringList addresses);
    void finished(bool connected, int gapMs = kIntervalMs);
    void tryNextAddress();
    void dropLookup();
    void dropSocket();

    QString host_;
    quint16 port_ = 0;
    QString key_;  // host and port: what the gap and the connects are shared by
    bool active_ = false;
    bool failedOnce_ = false;
    int connects_ = 0;
    int generation_ = 0;  // ends a connect's further tries when it is over
    QTimer next_;
    QTimer timeout_;
    // The connect under way: a non-blocking socket of our own, not a
    // QTcpSocket, which on a refusal connects a second time at once and so
    // sends every check twice.
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> socket_;  // fd_ writable: the connect is over
    QPointer<QSocketNotifier> pending_;        // the last notifier dropped, until deleted
    QStringList untried_;                      // the host's further addresses for this connect
    std::shared_ptr<LookupLink> lookup_;       // while a name is being looked up
};
