// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A host name whose look-up hangs, for checking that nothing waits on a name
// server. A test or benchmark program that compiles slowresolver.cpp into
// itself resolves kSlowHost through a getaddrinfo of its own, which sleeps
// kSlowLookupSeconds and then reports the name unknown; every other name goes
// to the system's resolver as usual. The name never leaves the machine.
namespace slowresolver {

inline constexpr const char* kSlowHost = "slow.zorvan.test";
inline constexpr int kSlowLookupSeconds = 10;

}  // namespace slowresolver
