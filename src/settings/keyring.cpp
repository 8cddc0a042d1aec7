// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyring.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <mutex>

Q_LOGGING_CATEGORY(lcKeyring, "zorvan.keyring")

namespace {

const QString kSecrets = QStringLiteral("org.freedesktop.secrets");
const QString kSecretsPath = QStringLiteral("/org/freedesktop/secrets");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// A key no record has (record keys are UUIDs): reading it tells whether
// QtKeychain's own way to the keyring works, not only D-Bus.
const QString kProbeKey = QStringLiteral("probe");

using Attributes = QMap<QString, QString>;

QThread* keyringThread = nullptr;
QObject* keyringContext = nullptr;

// The one keyring thread of the process, and an object living on it. One,
// not one per Keyring: QtKeychain runs its jobs one at a time through a
// process-wide queue that belongs to the thread of its first job. Ended
// when the application object goes.
QObject* context() {
    if (!keyringContext) {
        qDBusRegisterMetaType<Attributes>();
        keyringThread = new QThread;
        keyringThread->setObjectName(QStringLiteral("keyring"));
        keyringContext = new QObject;
        keyringContext->moveToThread(keyringThread);
        keyringThread->start();
        qAddPostRoutine([] {
            keyringThread->quit();
            keyringThread->wait();
            // Jobs still waiting for the keyring are never answered now: their
            // thread's event loop is gone.
            delete keyringContext;
            delete keyringThread;
            keyringContext = nullptr;
            keyringThread = nullptr;
        });
    }
    return keyringContext;
}

// --- on the keyring thread ---

void call(const QDBusMessage& message, int timeoutMs,
          std::function<void(const QDBusMessage&)> then) {
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(message, timeoutMs), context());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [then = std::move(then)](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         then(w->reply());
                     });
}

QDBusMessage propertyCall(const QString& path, const char* method) {
    return QDBusMessage::createMethodCall(kSecrets, path, kProperties, QLatin1String(method));
}

template <typename Job>
Job* startJob(const QString& key, std::function<void(QKeychain::Job*)> finished) {
    auto* job = new Job(Keyring::kService);
    job->setAutoDelete(true);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, job, std::move(finished));
    return job;
}

void readPassword(const QString& key, std::function<void(Keyring::Read)> reply) {
    startJob<QKeychain::ReadPasswordJob>(key, [reply](QKeychain::Job* job) {
        Keyring::Read r;
        if (job->error() == QKeychain::NoError) {
            r.ok = true;
            r.password = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();
        } else if (job->error() == QKeychain::EntryNotFound) {
            r.ok = true;
        } else {
            qCInfo(lcKeyring) << "Read failed:" << job->errorString();
        }
        reply(r);
    })->start();
}

// Sets the label of every unlocked item of ours under key.
void relabel(const QString& key, const QString& label, int timeoutMs, std::function<void()> done) {
    QDBusMessage search = QDBusMessage::createMethodCall(
        kSecrets, kSecretsPath, QStringLiteral("org.freedesktop.Secret.Service"),
        QStringLiteral("SearchItems"));
    search << QVariant::fromValue(
        Attributes{{QStringLiteral("user"), key}, {QStringLiteral("server"), Keyring::kService}});
    call(search, timeoutMs, [label, timeoutMs, done](const QDBusMessage& reply) {
        const auto items =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                ? qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().first())
                : QList<QDBusObjectPath>();
        if (items.isEmpty()) {
            done();
            return;
        }
        auto left = std::make_shared<qsizetype>(items.size());
        for (const QDBusObjectPath& item : items) {
            QDBusMessage set = propertyCall(item.path(), "Set");
            set << QStringLiteral("org.freedesktop.Secret.Item") << QStringLiteral("Label")
                << QVariant::fromValue(QDBusVariant(label));
            call(set, timeoutMs, [left, done](const QDBusMessage& r) {
                if (r.type() == QDBusMessage::ErrorMessage)
                    qCInfo(lcKeyring) << "Label not set:" << r.errorMessage();
                if (--*left == 0) done();
            });
        }
    });
}

}  // namespace

// Hands answers from the keyring thread to the Keyring's thread while the
// Keyring exists; the Keyring's destructor closes it under the same lock,
// so no answer is posted to an object being destroyed.
class Keyring::Mailbox {
public:
    explicit Mailbox(QObject* owner) : owner_(owner) {}
    void post(std::function<void()> fn) {
        std::lock_guard l(lock_);
        if (owner_) QMetaObject::invokeMethod(owner_, std::move(fn), Qt::QueuedConnection);
    }
    void close() {
        std::lock_guard l(lock_);
        owner_ = nullptr;
    }

private:
    std::mutex lock_;
    QObject* owner_;
};

Keyring::Keyring(int timeoutMs, QObject* parent)
    : QObject(parent), timeoutMs_(timeoutMs), mailbox_(std::make_shared<Mailbox>(this)) {
    context();
}

Keyring::~Keyring() {
    mailbox_->close();
}

template <typename Result>
void Keyring::run(std::function<void(std::function<void(Result)>)> work,
                  std::function<void(Result)> done, Result onTimeout) {
    // The answer and the timeout race on this thread; the first one counts.
    // Only the timer's connection holds the callback: once the timer has
    // gone (after either), a late answer finds nothing to call.
    struct Pending {
        std::function<void(Result)> done;
        QPointer<QTimer> timer;
        void finish(Result r) {
            if (!done) return;
            if (timer) timer->deleteLater();
            auto call = std::move(done);
            done = nullptr;
            call(std::move(r));
        }
    };
    auto pending = std::make_shared<Pending>();
    pending->done = std::move(done);
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    pending->timer = timer;
    connect(timer, &QTimer::timeout, this, [pending, onTimeout] {
        qCInfo(lcKeyring) << "No answer from the keyring";
        pending->finish(onTimeout);
    });
    timer->start(timeoutMs_);
    const auto reply = [mailbox = mailbox_, weak = std::weak_ptr<Pending>(pending)](Result r) {
        mailbox->post([weak, r] {
            if (const auto p = weak.lock()) p->finish(r);
        });
    };
    QMetaObject::invokeMethod(
        context(), [work = std::move(work), reply] { work(reply); }, Qt::QueuedConnection);
}

void Keyring::probe(std::function<void(Probe)> done) {
    const int timeoutMs = timeoutMs_;
    run<Probe>(
        [timeoutMs](std::function<void(Probe)> reply) {
            if (!QDBusConnection::sessionBus().isConnected()) {
                reply({State::Absent, QDBusConnection::sessionBus().lastError().message()});
                return;
            }
            QDBusMessage alias = QDBusMessage::createMethodCall(
                kSecrets, kSecretsPath, QStringLiteral("org.freedesktop.Secret.Service"),
                QStringLiteral("ReadAlias"));
            alias << QStringLiteral("default");
            call(alias, timeoutMs, [timeoutMs, reply](const QDBusMessage& r) {
                if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
                    reply({State::Absent, r.errorMessage()});
                    return;
                }
                const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().first()).path();
                if (path.isEmpty() || path == u"/") {
                    // Storing would first have to make a collection, which
                    // asks the person: as good as locked.
                    reply({State::Locked, QStringLiteral("no default collection")});
                    return;
                }
                QDBusMessage get = propertyCall(path, "Get");
                get << QStringLiteral("org.freedesktop.Secret.Collection")
                    << QStringLiteral("Locked");
                call(get, timeoutMs, [reply](const QDBusMessage& r) {
                    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
                        reply({State::Absent, r.errorMessage()});
                        return;
                    }
                    const bool locked =
                        qdbus_cast<QDBusVariant>(r.arguments().first()).variant().toBool();
                    if (locked) {
                        reply({State::Locked, QStringLiteral("default collection locked")});
                        return;
                    }
                    readPassword(kProbeKey, [reply](Read read) {
                        if (read.ok)
                            reply({State::Available, {}});
                        else
                            reply({State::Absent, QStringLiteral("QtKeychain cannot reach it")});
                    });
                });
            });
        },
        std::move(done), Probe{State::Absent, QStringLiteral("no answer")});
}

void Keyring::read(const QString& key, std::function<void(Read)> done) {
    run<Read>([key](std::function<void(Read)> reply) { readPassword(key, reply); }, std::move(done),
              Read{});
}

void Keyring::write(const QString& key, const QString& label, const QString& password,
                    std::function<void(bool)> done) {
    const int timeoutMs = timeoutMs_;
    run<bool>(
        [key, label, password, timeoutMs](std::function<void(bool)> reply) {
            auto* job = startJob<QKeychain::WritePasswordJob>(
                key, [key, label, timeoutMs, reply](QKeychain::Job* job) {
                    if (job->error() != QKeychain::NoError) {
                        qCInfo(lcKeyring) << "Write failed:" << job->errorString();
                        reply(false);
                        return;
                    }
                    relabel(key, label, timeoutMs, [reply] { reply(true); });
                });
            job->setTextData(password);
            job->start();
        },
        std::move(done), false);
}

void Keyring::remove(const QString& key, std::function<void(bool)> done) {
    run<bool>(
        [key](std::function<void(bool)> reply) {
            startJob<QKeychain::DeletePasswordJob>(key, [reply](QKeychain::Job* job) {
                const bool gone =
                    job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
                if (!gone) qCInfo(lcKeyring) << "Delete failed:" << job->errorString();
                reply(gone);
            })->start();
        },
        std::move(done), false);
}
