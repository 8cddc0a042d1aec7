#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QTcpSocket;

// Finds out cheaply whether a server takes connections again: a TCP connect
// to its address and port, closed as soon as it is made, without a byte
// sent, which costs the server nothing. While the connects fail it tries
// again, never two at once and never more than one a second (the gap holds
// across stop() and start() too). A host name is looked up on a thread of
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
    void connectNow();
    // Tries the addresses in turn until one takes the connection.
    void connectTo(QStringList addresses);
    void finished(bool connected, int gapMs = kIntervalMs);
    void dropLookup();
    void dropSocket();

    QString host_;
    quint16 port_ = 0;
    bool active_ = false;
    bool failedOnce_ = false;
    int connects_ = 0;
    int generation_ = 0;         // ends a connect's further tries when it is over
    QElapsedTimer lastConnect_;  // invalid before the first connect
    QTimer next_;
    QTimer timeout_;
    std::unique_ptr<QTcpSocket> socket_;
    QPointer<QTcpSocket> pending_;        // the last socket dropped, until deleted
    QStringList untried_;                 // the host's further addresses for this connect
    std::shared_ptr<LookupLink> lookup_;  // while a name is being looked up
};
