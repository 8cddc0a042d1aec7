// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The system keyring (the Secret Service over D-Bus, through QtKeychain),
// asked from a worker thread so that a keyring that answers slowly or never
// holds up nothing but its own answer.
//
// Every operation returns at once; its answer comes later, on the thread
// that made this object (the main thread), through the callback given. An
// operation that the keyring has not answered within the timeout is
// answered as failed, and its late answer is dropped. A callback never
// comes after this object is gone.
//
// Entries are QtKeychain's: service kService, key the record's identity;
// after a write the entry's label is set to the text given, so that a person
// looking through the keyring sees which server it is for.
class Keyring : public QObject {
    Q_OBJECT

public:
    enum class State {
        Available,  // present and unlocked
        Locked,     // present, but its default collection is locked
        Absent,     // no Secret Service (no session bus, nothing on it, or no answer)
    };
    struct Probe {
        State state = State::Absent;
        QString reason;  // the keyring's own words, for the log
    };
    struct Read {
        bool ok = false;                  // false: the keyring failed or did not answer
        std::optional<QString> password;  // none: no entry under that key
    };

    static inline const QString kService = QStringLiteral("Zorvan");

    explicit Keyring(int timeoutMs = 20000, QObject* parent = nullptr);
    ~Keyring() override;

    void probe(std::function<void(Probe)> done);
    void read(const QString& key, std::function<void(Read)> done);
    // done(true) once the entry holds password and carries label.
    void write(const QString& key, const QString& label, const QString& password,
               std::function<void(bool)> done);
    // done(true) when no entry is left under key (also when there was none).
    void remove(const QString& key, std::function<void(bool)> done);

private:
    class Mailbox;
    // Runs work on the keyring thread; work gets a reply function that hands
    // its result to finish on this object's thread, once, unless the
    // timeout came first.
    template <typename Result>
    void run(std::function<void(std::function<void(Result)>)> work,
             std::function<void(Result)> done, Result onTimeout);

    const int timeoutMs_;
    std::shared_ptr<Mailbox> mailbox_;
};
