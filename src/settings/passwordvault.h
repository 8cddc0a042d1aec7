// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

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
    // The alert of passwordNotTaken(), in the same context.
    static constexpr const char* kNotTakenAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The system keyring did not take the new password. It is kept in the settings file "
        "until the keyring can take it.");

    PasswordVault(Settings& store, std::unique_ptr<Keyring> keyring, QObject* parent = nullptr);
    ~PasswordVault() override;

    // Start-up: the records whose password is in the keyring wait for it
    // (CamServer::passwordPending) while it is read. Where the keyring cannot
    // be used their passwords stay unknown (CamServer::passwordUnknown: an
    // empty stand-in, never written anywhere), and unavailable() is emitted
    // once.
    void start();
    // Asks again whether the keyring can be used (the server list opens),
    // and if so does what waited for it: reads the unknown passwords again,
    // moves in the passwords kept in the file meanwhile, deletes the entries
    // of servers removed meanwhile.
    void refresh();

    // The person's choice, as kept in the preferences.
    bool keepInKeyring() const;
    // Moves every password into the keyring, or back into the file. Only
    // when canChange().
    void setKeepInKeyring(bool on);
    // The store's list or its records changed (the server list closed):
    // new and edited records follow the choice, removed ones leave the
    // keyring. A removal the keyring cannot carry out now is kept in the
    // settings file (Settings::keyringRemovals) until it can.
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
    // Passwords that could not be read before have now been read, for the
    // records with these keyringIds: what was asked without them may be
    // asked again. Comes before the passwordsKnown() of the same reads.
    void passwordsFound(const QStringList& keyringIds);
    // The keyring did not take a new or edited password, which stays in the
    // settings file until it does. At most once per run.
    void passwordNotTaken();

private:
    // settleAfter: once found usable, do what waited for the keyring
    // (start-up, the list opening); otherwise only the state is updated
    // (after a failed request).
    void ask(bool settleAfter);
    void probed(Keyring::Probe probe, bool settleAfter);
    // Asks again after a request failed, so that the next refresh() knows.
    void recheck();
    // The keyring is usable: reads the unknown passwords again, then settles.
    void sync();
    void readPending(bool again);
    void giveUpPending();
    void finishReads(bool failed, const QStringList& found);
    // Brings the keyring in line with the records and the choice.
    void settle(bool rewriteAll);
    // Something waits for the keyring (see refresh()): in the records, or
    // removals besides.
    bool recordsWaiting() const;
    bool workLeft() const;
    // Writes the records' passwords into the keyring: those not there yet,
    // or all of them. turningOn: the person's choice, all or nothing.
    void moveIn(bool rewriteAll, bool turningOn);
    void moveOut();
    // Lists the entry for removal (the caller saves) and deletes it when it can.
    void forget(const QString& id);
    // Deletes the entries listed for removal that no record names.
    void purge();
    void setPreference(bool on);

    Settings& store_;
    std::unique_ptr<Keyring> keyring_;
    Availability availability_ = Availability::Unknown;
    int readsLeft_ = 0;
    bool readsUnderWay_ = false;
    bool waitingToRead_ = false;  // start()'s reads wait for the first probe
    bool moving_ = false;
    bool alerted_ = false;
    bool toldNotTaken_ = false;
    bool moveFailed_ = false;
    bool syncAgain_ = false;  // storeChanged() came while the keyring was busy or away
    // Keys of entries this run knows of: those the records named at start
    // and those made since.
    QSet<QString> knownIds_;
    QSet<QString> removing_;  // removals sent, not answered yet
};
