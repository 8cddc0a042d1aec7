// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keyring tests' surroundings, set up by their main() before the Qt
// application exists: a private home, preferences and runtime folder, and
// either a private D-Bus session with gnome-keyring-daemon unlocked with a
// test password (keyring_tests) or a session bus address that leads nowhere
// (keyring_absent_tests).

#include <QString>

namespace keyringenv {

// Empty when the keyring is up; otherwise why not (the tests then skip).
extern QString unavailableReason;

// What secret-tool finds for the record key (no value: no entry), and the
// entry's label.
// clang-format off
struct Entry { QString secret, label; bool found() const { return !label.isNull(); } };
// clang-format on
Entry lookup(const QString& key);

// Locks the keyring's default collection, as the person or a screen lock
// would, and unlocks it again with the test password; true once the
// collection says so. keyring_tests only.
bool lockKeyring();
bool unlockKeyring();

}  // namespace keyringenv
