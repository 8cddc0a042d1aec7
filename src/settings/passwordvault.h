#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

#include "keyring.h"

class CamServer;
class Settings;

// Where the servers' passwords are kept: in the settings file, or, when the
// person chose "Keep passwords in the system keyring", in the keyring, one
// entry per record (key: the record's keyringId, label: its name, address
// and port), with an empty "password" in the file.
//
// The choice is the preference kPreferenceKey (QSettings, like the other
// preferences). Each record says for itself whether the keyring holds its
// password (CamServer::passwordInKeyring, kept in the file as a keyringId
// beside an empty password), so a file read without the preference, or
// with the keyring gone, still knows which passwords are elsewhere.
//
// Order of writes, so that a crash at any moment loses no password: moving
// in, a record counts as in the keyring (and its file entry goes empty) only
// once the keyring has confirmed the write; moving out, the file is written
// with the passwords before the entries are deleted.
//
// Main thread. The keyring is asked on its own thread (Keyring); nothing
// here waits for it.
class PasswordVault : public QObject {
    Q_OBJECT

public:
    enum class Availability {
        Unknown,    // not asked yet
        Asking,     // asked, no answer yet
        Available,  // present and unlocked
        Locked,
        Absent,  // no Secret Service, or it does not answer
    };
    static inline const QString kPreferenceKey = QStringLiteral("KeepPasswordsInKeyring");
    // The alert of unavailable(), in the context "Zorvan".
    static constexpr const char* kUnavailableAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The server passwords are kept in the system keyring, which is locked or not "
        "available. The servers are asked without their passwords.");

    PasswordVault(Settings& store, std::unique_ptr<Keyring> keyring, QObject* parent = nullptr);
    ~PasswordVault() override;

    // Start-up: the records whose password is in the keyring wait for it
    // (CamServer::passwordPending) while it is read. Where the keyring cannot
    // be used they get an empty password, and unavailable() is emitted once.
    void start();
    // Asks again whether the keyring can be used (the server list opens).
    void refresh();

    // The person's choice, as kept in the preferences.
    bool keepInKeyring() const;
    // Moves every password into the keyring, or back into the file. Only
    // when canChange().
    void setKeepInKeyring(bool on);
    // The store's list or its records changed (the server list closed):
    // new and edited records follow the choice, removed ones leave the
    // keyring.
    void storeChanged();

    Availability availability() const { return availability_; }
    // The choice can be changed now: the keyring is there and unlocked,
    // every password is known and no move is under way.
    bool canChange() const;
    // Why canChange() is false, or that the last move failed, for a
    // tooltip; empty when there is nothing to say.
    QString reason() const;

    // The label of a record's keyring entry.
    static QString labelFor(const CamServer& server);

signals:
    // availability(), canChange(), reason() or keepInKeyring() changed.
    void changed();
    // Every password that was pending is now known (read, or given up).
    void passwordsKnown();
    // Passwords kept in the keyring could not be read: the records go on
    // with empty passwords. At most once per run.
    void unavailable();

private:
    void ask();
    void probed(Keyring::Probe probe);
    void readPending();
    void giveUpPending();
    void finishReads(bool failed);
    // Writes the records' passwords into the keyring: those not there yet,
    // or all of them. turningOn: the person's choice, all or nothing.
    void moveIn(bool rewriteAll, bool turningOn);
    void moveOut();
    void forget(const QString& id);
    void setPreference(bool on);

    Settings& store_;
    std::unique_ptr<Keyring> keyring_;
    Availability availability_ = Availability::Unknown;
    int readsLeft_ = 0;
    bool readsUnderWay_ = false;
    bool moving_ = false;
    bool alerted_ = false;
    bool moveFailed_ = false;
    bool syncAgain_ = false;  // storeChanged() came while the keyring was busy
    // Keys of entries this run knows to be in the keyring: those of the
    // records read at start and those written since.
    QSet<QString> knownIds_;
};
