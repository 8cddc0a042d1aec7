// SPDX-License-Identifier: GPL-3.0-or-later
#include "passwordvault.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSettings>
#include <QUuid>

#include "camserver.h"
#include "settings.h"

Q_DECLARE_LOGGING_CATEGORY(lcKeyring)

namespace {

QString text(const char* key) {
    return QCoreApplication::translate("Zorvan", key);
}

}  // namespace

PasswordVault::PasswordVault(Settings& store, std::unique_ptr<Keyring> keyring, QObject* parent)
    : QObject(parent), store_(store), keyring_(std::move(keyring)) {
    if (!keyring_) keyring_ = std::make_unique<Keyring>();
}

PasswordVault::~PasswordVault() = default;

QString PasswordVault::labelFor(const CamServer& server) {
    return QStringLiteral("Zorvan: %1 (%2:%3)").arg(server.name(), server.host(), server.port());
}

bool PasswordVault::keepInKeyring() const {
    return QSettings().value(kPreferenceKey, false).toBool();
}

void PasswordVault::setPreference(bool on) {
    QSettings().setValue(kPreferenceKey, on);
}

bool PasswordVault::canChange() const {
    return availability_ == Availability::Available && !moving_ && !readsUnderWay_;
}

QString PasswordVault::reason() const {
    switch (availability_) {
        case Availability::Unknown:
        case Availability::Asking:
            return text(QT_TRANSLATE_NOOP("Zorvan", "Asking the system keyring..."));
        case Availability::Locked:
            return text(QT_TRANSLATE_NOOP(
                "Zorvan",
                "The system keyring is locked. Unlock it, then open the server list again."));
        case Availability::Absent:
            return text(QT_TRANSLATE_NOOP(
                "Zorvan",
                "No system keyring is available: no Secret Service answers on the "
                "session bus."));
        case Availability::Available:
            break;
    }
    if (readsUnderWay_ || moving_)
        return text(QT_TRANSLATE_NOOP("Zorvan", "Moving the passwords..."));
    if (moveFailed_)
        return text(QT_TRANSLATE_NOOP("Zorvan", "The system keyring did not take the passwords."));
    return {};
}

void PasswordVault::start() {
    readsUnderWay_ = false;
    for (const auto& server : store_.getServers()) {
        if (!server->keyringId.isEmpty()) knownIds_.insert(server->keyringId);
        if (!server->passwordInKeyring) continue;
        // Unknown until the keyring gives it: an empty stand-in must never
        // be taken for the password.
        server->passwordUnknown = true;
        server->setPasswordPending();
        readsUnderWay_ = true;
    }
    waitingToRead_ = readsUnderWay_;
    // Nobody asks the keyring when nothing is or goes there: the server list
    // asks when it opens.
    if (readsUnderWay_ || keepInKeyring() || workLeft()) ask(true);
}

void PasswordVault::refresh() {
    // Once usable, the keyring is taken to stay so while nothing waits for
    // it (a request that fails asks again); while it reads or writes, it
    // has just answered.
    if (availability_ == Availability::Asking || readsUnderWay_ || moving_) return;
    if (availability_ == Availability::Available && !workLeft()) return;
    ask(true);
}

void PasswordVault::ask(bool settleAfter) {
    availability_ = Availability::Asking;
    emit changed();
    keyring_->probe([this, settleAfter](Keyring::Probe probe) { probed(probe, settleAfter); });
}

void PasswordVault::recheck() {
    if (availability_ == Availability::Asking || waitingToRead_) return;
    ask(false);
}

void PasswordVault::probed(Keyring::Probe probe, bool settleAfter) {
    if (probe.state != Keyring::State::Available)
        qCInfo(lcKeyring) << "Keyring not usable:" << probe.reason;
    switch (probe.state) {
        case Keyring::State::Available:
            availability_ = Availability::Available;
            break;
        case Keyring::State::Locked:
            availability_ = Availability::Locked;
            break;
        case Keyring::State::Absent:
            availability_ = Availability::Absent;
            break;
    }
    emit changed();
    if (waitingToRead_) {
        waitingToRead_ = false;
        if (availability_ == Availability::Available)
            readPending(false);
        else
            giveUpPending();
        return;
    }
    if (availability_ != Availability::Available) return;  // what waits, waits on
    if (settleAfter)
        sync();
    else if (syncAgain_)
        storeChanged();
}

void PasswordVault::sync() {
    bool unknown = false;
    for (const auto& server : store_.getServers()) {
        if (!server->passwordUnknown || server->passwordPending()) continue;
        // Loads of the server wait for the answer rather than go without.
        server->setPasswordPending();
        unknown = true;
    }
    if (!unknown) {
        settle(false);
        return;
    }
    readsUnderWay_ = true;
    emit changed();
    readPending(true);
}

void PasswordVault::readPending(bool again) {
    auto failed = std::make_shared<bool>(false);
    auto found = std::make_shared<QStringList>();
    for (const auto& server : store_.getServers()) {
        if (!server->passwordPending()) continue;
        ++readsLeft_;
        const QString id = server->keyringId;
        keyring_->read(id, [this, failed, found, again, id,
                            weak = std::weak_ptr<CamServer>(server)](Keyring::Read read) {
            if (!read.ok) *failed = true;
            if (const auto server = weak.lock()) {
                // Unread, the password stays unknown; a password typed
                // meanwhile has made it known and wins.
                const QString password =
                    read.ok ? read.password.value_or(QStringLiteral("")) : server->password();
                if (server->resolvePassword(password) && read.ok) {
                    server->passwordUnknown = false;
                    if (again) *found << id;
                }
            }
            if (--readsLeft_ == 0) finishReads(*failed, *found);
        });
    }
    if (readsLeft_ == 0) finishReads(false, {});
}

void PasswordVault::giveUpPending() {
    // The records stay as they are, keyringId and all, with their passwords
    // unknown, so that they are found again where the keyring can be reached.
    for (const auto& server : store_.getServers())
        if (server->passwordPending()) server->resolvePassword(server->password());
    finishReads(true, {});
}

void PasswordVault::finishReads(bool failed, const QStringList& found) {
    readsUnderWay_ = false;
    if (failed && !alerted_) {
        alerted_ = true;
        emit unavailable();
    }
    if (!found.isEmpty()) emit passwordsFound(found);
    emit passwordsKnown();
    emit changed();
    if (availability_ != Availability::Available) return;
    if (failed) {
        recheck();
        return;
    }
    settle(false);
}

bool PasswordVault::workLeft() const {
    return !store_.keyringRemovals().isEmpty() || recordsWaiting();
}

bool PasswordVault::recordsWaiting() const {
    const bool keep = keepInKeyring();
    for (const auto& server : store_.getServers()) {
        if (server->passwordUnknown) return true;
        const bool empty = server->password().isEmpty();
        const bool named = !server->keyringId.isEmpty();
        // Kept: a password not confirmed there goes in, an entry with
        // nothing to hold goes. Not kept: every entry goes.
        if (keep ? (!empty && !server->passwordInKeyring) || (empty && named) : named) return true;
    }
    return false;
}

void PasswordVault::settle(bool rewriteAll) {
    if (syncAgain_) {
        storeChanged();
        return;
    }
    purge();
    // The file and the choice may disagree (a record added or edited while
    // the keyring was away, a preferences file lost): the choice decides.
    if (!rewriteAll && !recordsWaiting()) return;
    if (keepInKeyring())
        moveIn(rewriteAll, false);
    else
        moveOut();
}

void PasswordVault::setKeepInKeyring(bool on) {
    if (!canChange() || on == keepInKeyring()) {
        emit changed();
        return;
    }
    if (on)
        moveIn(false, true);
    else
        moveOut();
}

void PasswordVault::storeChanged() {
    // The entries of removed records are listed in the file first, so that
    // a keyring that cannot delete them now still loses them later.
    QSet<QString> present;
    for (const auto& server : store_.getServers())
        if (!server->keyringId.isEmpty()) present.insert(server->keyringId);
    QSet<QString> removed = knownIds_;
    removed.subtract(present);
    if (!removed.isEmpty()) {
        for (const QString& id : removed) forget(id);
        store_.save();
    }
    if (moving_ || readsUnderWay_ || availability_ != Availability::Available) {
        // Once the keyring's present work is done, or once it is back: a
        // renamed record needs its new label.
        syncAgain_ = true;
        return;
    }
    syncAgain_ = false;
    // Rewritten whole: a record renamed needs its new label, an edited
    // password its new value.
    settle(keepInKeyring());
}

void PasswordVault::moveIn(bool rewriteAll, bool turningOn) {
    moving_ = true;
    moveFailed_ = false;
    emit changed();
    struct Batch {
        int left = 1;  // this loop's own share, so that no write can end the batch early
        bool failed = false;
        bool newPasswordFailed = false;  // one the keyring did not hold before
        bool flagsChanged = false;
    };
    auto batch = std::make_shared<Batch>();
    const auto done = [this, batch, turningOn] {
        if (--batch->left > 0) return;
        moving_ = false;
        if (batch->failed) {
            moveFailed_ = true;
            qCInfo(lcKeyring) << "Passwords not moved into the keyring";
            // Turning on does all or nothing: what went in comes back out.
            if (turningOn) {
                moveOut();
                return;
            }
            if (batch->newPasswordFailed && !toldNotTaken_) {
                toldNotTaken_ = true;
                emit passwordNotTaken();
            }
        } else if (turningOn) {
            setPreference(true);
        }
        if (batch->flagsChanged || turningOn) store_.save();
        emit changed();
        if (batch->failed)
            recheck();
        else if (syncAgain_)
            storeChanged();
    };
    for (const auto& server : store_.getServers()) {
        // An unread password is not the server's: the entry keeps the real one.
        if (server->passwordUnknown) continue;
        const QString password = server->password();
        if (password.isEmpty()) {
            // Nothing to keep: an entry left from before would only hold an
            // old password.
            if (!server->keyringId.isEmpty()) {
                forget(server->keyringId);
                server->passwordInKeyring = false;
                server->keyringId.clear();
                batch->flagsChanged = true;
            }
            continue;
        }
        if (server->passwordInKeyring && !rewriteAll) continue;
        if (server->keyringId.isEmpty()) {
            server->keyringId = QUuid::createUuid().toString(QUuid::WithoutBraces);
            knownIds_.insert(server->keyringId);
        }
        const QString id = server->keyringId;
        const bool confirmed = server->passwordInKeyring;
        ++batch->left;
        keyring_->write(id, labelFor(*server), password,
                        [this, batch, done, id, password, confirmed,
                         weak = std::weak_ptr<CamServer>(server)](bool ok) {
                            if (!ok) {
                                batch->failed = true;
                                // The file keeps it (passwordInKeyring is false).
                                if (!confirmed) batch->newPasswordFailed = true;
                            } else {
                                knownIds_.insert(id);
                                const auto server = weak.lock();
                                // A password typed while the write was under
                                // way stays in the file until the next one.
                                if (server && server->keyringId == id &&
                                    server->password() == password && !server->passwordInKeyring &&
                                    !server->passwordUnknown) {
                                    server->passwordInKeyring = true;
                                    batch->flagsChanged = true;
                                }
                            }
                            done();
                        });
    }
    done();
}

void PasswordVault::moveOut() {
    QStringList ids;
    for (const auto& server : store_.getServers()) {
        // An unread password stays where it is until it is read.
        if (server->passwordUnknown || server->keyringId.isEmpty()) continue;
        server->passwordInKeyring = false;
        ids << server->keyringId;
        server->keyringId.clear();
    }
    setPreference(false);
    const QStringList before = store_.keyringRemovals();
    QStringList removals = before;
    for (const QString& id : ids)
        if (!removals.contains(id)) removals << id;
    store_.setKeyringRemovals(removals);
    // The passwords reach the file before their entries go; should the
    // write fail, the entries stay, and the file still leads to them.
    if (store_.save()) {
        for (const QString& id : ids) knownIds_.remove(id);
        purge();
    } else {
        store_.setKeyringRemovals(before);
        qCInfo(lcKeyring) << "Settings file not written: keyring entries kept";
    }
    emit changed();
}

void PasswordVault::forget(const QString& id) {
    if (id.isEmpty()) return;
    knownIds_.remove(id);
    QStringList removals = store_.keyringRemovals();
    if (!removals.contains(id)) store_.setKeyringRemovals(removals << id);
    purge();
}

void PasswordVault::purge() {
    if (availability_ != Availability::Available) return;
    // An entry a record still names is that record's, whatever the list says.
    QSet<QString> named;
    for (const auto& server : store_.getServers())
        if (!server->keyringId.isEmpty()) named.insert(server->keyringId);
    QStringList removals = store_.keyringRemovals();
    if (removals.removeIf([&](const QString& id) { return named.contains(id); }) > 0) {
        store_.setKeyringRemovals(removals);
        store_.save();
    }
    for (const QString& id : removals) {
        if (removing_.contains(id)) continue;
        removing_.insert(id);
        keyring_->remove(id, [this, id](bool ok) {
            removing_.remove(id);
            if (!ok) {
                recheck();
                return;
            }
            QStringList left = store_.keyringRemovals();
            if (left.removeAll(id) > 0) {
                store_.setKeyringRemovals(left);
                store_.save();
            }
        });
    }
}
