// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>

// Reads, from the kernel of the calling thread's network namespace, the
// reachability flags of one address. Nothing is sent on the network: a
// datagram socket's connect() only asks the routing table, and the route
// itself is read over rtnetlink. Each call takes well under a millisecond and
// never waits on the network, so it may run on the main thread.
namespace routeprobe {

inline constexpr std::uint32_t kReachable = 0x2;
inline constexpr std::uint32_t kConnectionRequired = 0x4;
inline constexpr std::uint32_t kIsDirect = 0x20000;

// The flags for an IPv4 or IPv6 address: kReachable when the kernel has a
// route to it, with kIsDirect when that route needs no gateway (an address on
// an attached network, or the machine's own). The unspecified address
// (0.0.0.0 or ::) stands for the network in general: reachable when any
// usable route leaves through an interface other than loopback, direct when
// one of them needs no gateway. kConnectionRequired is never set: Linux has
// no on-demand links that a connection would first have to bring up.
// None for an address family other than IPv4 and IPv6, or when the kernel
// cannot be asked.
std::optional<std::uint32_t> flagsForAddress(const sockaddr_storage& address);

}  // namespace routeprobe
