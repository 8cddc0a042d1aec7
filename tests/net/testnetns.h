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
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

class TestNetns {
public:
    TestNetns() {
        home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (home_ < 0) {
            why_ =
                std::string("cannot open this thread's network namespace: ") + std::strerror(errno);
            return;
        }
        if (::unshare(CLONE_NEWNET) != 0) {
            why_ = std::string("cannot make a network namespace (needs CAP_SYS_ADMIN): ") +
                   std::strerror(errno);
            return;
        }
        inside_ = true;
        // IPv4 only: otherwise the kernel adds link-local IPv6 addresses and
        // routes of its own, a second or so after a link comes up, and a
        // test could take them for the changes it made.
        for (const char* knob : {"/proc/sys/net/ipv6/conf/all/disable_ipv6",
                                 "/proc/sys/net/ipv6/conf/default/disable_ipv6"}) {
            const int fd = ::open(knob, O_WRONLY | O_CLOEXEC);
            if (fd < 0) continue;  // a kernel without IPv6 adds none anyway
            [[maybe_unused]] auto n = ::write(fd, "1", 1);
            ::close(fd);
        }
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

    // Runs "ip <words>" in the namespace; true when it exits with 0.
    bool ip(const std::string& words) const {
        std::vector<std::string> args{"ip"};
        std::istringstream in(words);
        for (std::string w; in >> w;) args.push_back(w);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawnp(&pid, "ip", nullptr, nullptr, argv.data(), environ) != 0) return false;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    int home_ = -1;
    bool inside_ = false;
    std::string why_;
};
