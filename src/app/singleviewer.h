// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One viewer per settings file. Each save rewrites the whole file from the
// process's memory, so two viewers on one file would undo each other's
// changes; the first viewer on a settings folder holds a lock for it, and a
// second start hands its command line over to that one and exits.
//
// The lock file and the local socket live in a folder of this user alone
// (see runtimeFolder()) under names derived from a hash of the settings
// folder's canonical path, so viewers on other profiles (other
// XDG_DATA_HOME) run side by side as before. A folder another user may
// write to would let that user take every start's command line, or block
// every start, by planting a lock or a socket under those names.
//
// A hand-over carries the whole argument list and brings back an exit status
// and a message, which the second process prints on standard error before
// exiting with that status.
class SingleViewer : public QObject {
    Q_OBJECT
public:
    // What the running viewer answers to a hand-over: the second process
    // exits with status and prints message (when not empty) on standard error.
    struct Reply {
        int status = 0;
        QString message;
    };

    // Makes the settings folder (0700) when it is missing, since its
    // canonical path names the lock. Needs no application object.
    explicit SingleViewer(const QString& settingsFolder, QObject* parent = nullptr);
    ~SingleViewer() override;

    // Takes the lock of the settings folder: true when this process is now
    // its viewer. False when a live viewer holds it; a lock left by a dead
    // one is taken over. When the runtime folder cannot hold a lock at all,
    // warns and returns true, so the viewer still starts as it did before.
    // Needs no application object, so that a second start can hand over
    // without a display.
    bool becomePrimary();

    // Starts taking hand-overs: removes a socket file a crashed viewer left
    // behind and listens. Only after becomePrimary() returned true, with the
    // application object made. A second start meanwhile retries its
    // connection for a while, so the short gap between the two is harmless.
    bool listen();

    QString lockFilePath() const { return lockFilePath_; }
    QString serverName() const { return serverName_; }

    // Where the lock and the socket go: $XDG_RUNTIME_DIR when it is a real
    // folder (not a link) of this user with mode 0700; else "zorvan-<uid>"
    // in the temporary folder, made 0700 and checked the same way; else,
    // when another user holds that name, the settings folder itself.
    static QString runtimeFolder(const QString& settingsFolder);

    // The second process's side: connects to the viewer listening on
    // serverName (retrying while it is still starting), sends arguments and
    // waits for the reply. A viewer that cannot be reached or does not answer
    // within timeout gives status 1 and a message saying so; so does a
    // listener of another user, which is never sent the arguments. Blocks;
    // needs a QCoreApplication, but no display.
    static Reply handOver(const QString& serverName, const QStringList& arguments,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // A start that found the lock held: hands over as above, but while it
    // waits for the viewer, and when the viewer goes without an answer, it
    // tries the lock again. A holder that ends without ever listening (a
    // start that failed on its own command line) leaves the lock to this
    // one: then this process is the viewer, as after becomePrimary()
    // returned true, and the answer is empty.
    std::optional<Reply> handOverOrBecomePrimary(
        const QStringList& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    static constexpr int kUnreachable = 1;

signals:
    // A second start handed over its arguments (the program name first).
    // Receivers, connected directly, may fill in reply; unchanged it is
    // status 0 without a message.
    void handedOver(const QStringList& arguments, SingleViewer::Reply* reply);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QString lockFilePath_;
    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    // Owned by the application object (see listen()), so it may be gone.
    QPointer<QLocalServer> server_;
};
