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
        if (!server->passwordInKeyring) continue;
        server->setPasswordPending();
        knownIds_.insert(server->keyringId);
        readsUnderWay_ = true;
    }
    // Nobody asks the keyring when nothing is or goes there: the server list
    // asks when it opens.
    if (readsUnderWay_ || keepInKeyring()) ask();
}

void PasswordVault::refresh() {
    // Once usable, the keyring is taken to stay so (a write that fails
    // says otherwise); while it reads or writes, it has just answered.
    if (availability_ == Availability::Asking || availability_ == Availability::Available ||
        readsUnderWay_ || moving_)
        return;
    ask();
}

void PasswordVault::ask() {
    availability_ = Availability::Asking;
    emit changed();
    keyring_->probe([this](Keyring::Probe probe) { probed(probe); });
}

void PasswordVault::probed(Keyring::Probe probe) {
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
    if (readsUnderWay_) {
        if (availability_ == Availability::Available)
            readPending();
        else
            giveUpPending();
        return;
    }
    if (syncAgain_) storeChanged();
}

void PasswordVault::readPending() {
    auto failed = std::make_shared<bool>(false);
    for (const auto& server : store_.getServers()) {
        if (!server->passwordPending()) continue;
        ++readsLeft_;
        keyring_->read(server->keyringId,
                       [this, failed, weak = std::weak_ptr<CamServer>(server)](Keyring::Read read) {
                           if (!read.ok) *failed = true;
                           if (const auto server = weak.lock())
                               server->resolvePassword(read.password.value_or(QStringLiteral("")));
                           if (--readsLeft_ == 0) finishReads(*failed);
                       });
    }
    if (readsLeft_ == 0) finishReads(false);
}

void PasswordVault::giveUpPending() {
    // The records stay as they are, keyringId and all, so that their
    // passwords are found again where the keyring can be reached.
    for (const auto& server : store_.getServers()) server->resolvePassword(QStringLiteral(""));
    finishReads(true);
}

void PasswordVault::finishReads(bool failed) {
    readsUnderWay_ = false;
    if (failed && !alerted_) {
        alerted_ = true;
        emit unavailable();
    }
    emit passwordsKnown();
    emit changed();
    if (availability_ != Availability::Available) return;
    if (syncAgain_) {
        storeChanged();
        return;
    }
    // The file and the choice may disagree (a record added while the keyring
    // was away, a preferences file lost): the choice decides.
    bool plain = false, kept = false;
    for (const auto& server : store_.getServers()) {
        plain = plain || (!server->passwordInKeyring && !server->password().isEmpty());
        kept = kept || server->passwordInKeyring;
    }
    if (keepInKeyring() && plain) moveIn(false, false);
    if (!keepInKeyring() && kept) moveOut();
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
    if (moving_ || readsUnderWay_ || availability_ == Availability::Asking) {
        syncAgain_ = true;  // once the keyring's present work is done
        return;
    }
    syncAgain_ = false;
    if (availability_ != Availability::Available) return;
    QSet<QString> present;
    for (const auto& server : store_.getServers())
        if (!server->keyringId.isEmpty()) present.insert(server->keyringId);
    QSet<QString> removed = knownIds_;
    removed.subtract(present);
    for (const QString& id : removed) forget(id);
    // Rewritten whole: a record renamed needs its new label, an edited
    // password its new value.
    if (keepInKeyring()) moveIn(true, false);
}

void PasswordVault::moveIn(bool rewriteAll, bool turningOn) {
    moving_ = true;
    moveFailed_ = false;
    emit changed();
    struct Batch {
        int left = 1;  // this loop's own share, so that no write can end the batch early
        bool failed = false;
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
        } else if (turningOn) {
            setPreference(true);
        }
        if (batch->flagsChanged || turningOn) store_.save();
        emit changed();
        if (syncAgain_) storeChanged();
    };
    for (const auto& server : store_.getServers()) {
        const QString password = server->password();
        if (password.isEmpty()) {
            // Nothing to keep: an entry left from before would only hold an
            // old password.
            if (server->passwordInKeyring) {
                forget(server->keyringId);
                server->passwordInKeyring = false;
                server->keyringId.clear();
                batch->flagsChanged = true;
            }
            continue;
        }
        if (server->passwordInKeyring && !rewriteAll) continue;
        if (server->keyringId.isEmpty())
            server->keyringId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString id = server->keyringId;
        ++batch->left;
        keyring_->write(
            id, labelFor(*server), password,
            [this, batch, done, id, password, weak = std::weak_ptr<CamServer>(server)](bool ok) {
                if (!ok) {
                    batch->failed = true;
                } else {
                    knownIds_.insert(id);
                    const auto server = weak.lock();
                    // A password typed while the write was under
                    // way stays in the file until the next one.
                    if (server && server->keyringId == id && server->password() == password &&
                        !server->passwordInKeyring) {
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
        if (!server->passwordInKeyring) continue;
        server->passwordInKeyring = false;
        ids << server->keyringId;
        server->keyringId.clear();
    }
    setPreference(false);
    // The passwords reach the file before their entries go; should the
    // write fail, the entries stay, and the file still leads to them.
    if (store_.save()) {
        for (const QString& id : ids) forget(id);
    } else {
        qCInfo(lcKeyring) << "Settings file not written: keyring entries kept";
    }
    emit changed();
}

void PasswordVault::forget(const QString& id) {
    if (id.isEmpty()) return;
    keyring_->remove(id, [this, id](bool ok) {
        if (ok) knownIds_.remove(id);
    });
}
