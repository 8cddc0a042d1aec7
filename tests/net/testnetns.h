// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Moves the calling thread into a fresh, unnamed network namespace for the
// life of the object, and back afterwards. Sockets made on this thread, the
// threads it starts and the commands it runs all live in that namespace, so
// a test can add links, addresses and routes of its own without touching the
// machine's network. The kernel removes the namespace, with every link made
// in it, once nothing refers to it any more: nothing is left behind, also
// when a test fails or crashes.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

class TestNetns {
public:
    TestNetns() {
        if (home_ < 0 || ::unshare(CLONE_NEWNET) != 0) {
            why_ = std::string("cannot make a network namespace (needs CAP_SYS_ADMIN): ") +
                   std::strerror(errno);
            return;
        }
        inside_ = true;
        // IPv4 only: otherwise the kernel adds link-local IPv6 addresses and
        // routes of its own, a second or so after a link comes up, and a
        // test could take them for the changes it made. (A kernel without
        // IPv6 has no such knob, and adds none anyway.)
        for (const char* which : {"all", "default"})
            std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + which + "/disable_ipv6") << 1;
        if (!ip("link set lo up")) why_ = "iproute2's ip does not work in the namespace";
    }
    ~TestNetns() {
        if (inside_ && ::setns(home_, CLONE_NEWNET) != 0) std::abort();  // never run on elsewhere
        if (home_ >= 0) ::close(home_);
    }
    TestNetns(const TestNetns&) = delete;
    TestNetns& operator=(const TestNetns&) = delete;

    // Empty when the namespace is ready; otherwise why not (for GTEST_SKIP).
    const std::string& whyNot() const { return why_; }

    // Runs "ip <words>" in the namespace (the child starts from this
    // thread); true when it exits with 0.
    bool ip(const std::string& words) const { return std::system(("ip " + words).c_str()) == 0; }

private:
    int home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    bool inside_ = false;
    std::string why_;
};
