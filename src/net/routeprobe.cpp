// SPDX-License-Identifier: GPL-3.0-or-later
#include "routeprobe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

namespace routeprobe {
namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

bool isUnspecified(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr == htonl(INADDR_ANY);
    const auto& a6 = reinterpret_cast<const sockaddr_in6&>(a);
    return IN6_IS_ADDR_UNSPECIFIED(&a6.sin6_addr);
}

socklen_t lengthOf(const sockaddr_storage& a) {
    return a.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
}

bool isLoopbackInterface(int index) {
    char name[IF_NAMESIZE] = {};
    if (!if_indextoname(static_cast<unsigned>(index), name)) return false;
    Fd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return false;
    ifreq req = {};
    std::memcpy(req.ifr_name, name, sizeof(req.ifr_name));
    if (::ioctl(s.get(), SIOCGIFFLAGS, &req) != 0) return false;
    return (req.ifr_flags & IFF_LOOPBACK) != 0;
}

// What the route answers of the kernel tell about one route.
struct Route {
    unsigned char type = RTN_UNSPEC;
    unsigned table = RT_TABLE_UNSPEC;
    unsigned flags = 0;
    int outInterface = 0;
    bool gateway = false;
    bool multipath = false;
};

Route parseRoute(const nlmsghdr* h) {
    Route r;
    const auto* rt = static_cast<const rtmsg*>(NLMSG_DATA(h));
    r.type = rt->rtm_type;
    r.table = rt->rtm_table;
    r.flags = rt->rtm_flags;
    int len = static_cast<int>(RTM_PAYLOAD(h));
    for (const rtattr* a = RTM_RTA(rt); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
        switch (a->rta_type) {
            case RTA_TABLE:
                if (RTA_PAYLOAD(a) >= sizeof(std::uint32_t))
                    std::memcpy(&r.table, RTA_DATA(a), sizeof(std::uint32_t));
                break;
            case RTA_OIF:
                if (RTA_PAYLOAD(a) >= sizeof(int))
                    std::memcpy(&r.outInterface, RTA_DATA(a), sizeof(int));
                break;
            case RTA_GATEWAY:
            case RTA_VIA:
                r.gateway = true;
                break;
            case RTA_MULTIPATH:
                r.multipath = true;
                break;
            default:
                break;
        }
    }
    return r;
}

// Sends one rtnetlink request and hands each route of the answer to visit.
// False when the kernel could not be asked or answered with an error. A
// receive timeout bounds the wait should the kernel never finish its answer.
bool askRoutes(const void* request, size_t size, const std::function<void(const Route&)>& visit) {
    Fd s(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!s.valid()) return false;
    timeval timeout = {1, 0};
    ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    sockaddr_nl kernel = {};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(s.get(), request, size, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof(kernel)) <
        0)
        return false;
    const auto* sent = static_cast<const nlmsghdr*>(request);
    const bool dump = (sent->nlmsg_flags & NLM_F_DUMP) != 0;
    std::vector<char> buffer(32768);
    for (;;) {
        const ssize_t n = ::recv(s.get(), buffer.data(), buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        int left = static_cast<int>(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_seq != sent->nlmsg_seq) continue;
            if (h->nlmsg_type == NLMSG_DONE) return true;
            if (h->nlmsg_type == NLMSG_ERROR) {
                if (h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) return false;
                return static_cast<const nlmsgerr*>(NLMSG_DATA(h))->error == 0;
            }
            if (h->nlmsg_type == RTM_NEWROUTE && h->nlmsg_len >= NLMSG_LENGTH(sizeof(rtmsg)))
                visit(parseRoute(h));
            if (!dump) return true;
        }
    }
}

// The network in general: any usable route out through a real interface.
std::optional<std::uint32_t> flagsForAnyRoute(int family) {
    struct {
        nlmsghdr h;
        rtmsg rt;
    } req = {};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    req.h.nlmsg_seq = 1;
    req.rt.rtm_family = static_cast<unsigned char>(family);
    std::uint32_t flags = 0;
    const bool ok = askRoutes(&req, sizeof(req), [&](const Route& r) {
        if (r.table != RT_TABLE_MAIN || r.type != RTN_UNICAST) return;
        if (r.flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) return;
        if (!r.multipath && (r.outInterface == 0 || isLoopbackInterface(r.outInterface))) return;
        flags |= kReachable;
        if (!r.gateway && !r.multipath) flags |= kIsDirect;
    });
    if (!ok) return std::nullopt;
    return flags;
}

// Whether the route the kernel would take to the address needs no gateway.
bool routeIsDirect(const sockaddr_storage& a) {
    struct {
        nlmsghdr h;
        rtmsg rt;
        char attributes[64];
    } req = {};
    const bool v4 = a.ss_family == AF_INET;
    const void* bytes =
        v4 ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in&>(a).sin_addr)
           : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr);
    const size_t size = v4 ? 4 : 16;
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST;
    req.h.nlmsg_seq = 2;
    req.rt.rtm_family = static_cast<unsigned char>(a.ss_family);
    req.rt.rtm_dst_len = static_cast<unsigned char>(size * 8);
    auto* dst =
        reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&req) + NLMSG_ALIGN(req.h.nlmsg_len));
    dst->rta_type = RTA_DST;
    dst->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
    std::memcpy(RTA_DATA(dst), bytes, size);
    req.h.nlmsg_len = NLMSG_ALIGN(req.h.nlmsg_len) + RTA_ALIGN(dst->rta_len);
    bool direct = false;
    askRoutes(&req, req.h.nlmsg_len, [&](const Route& r) {
        direct = r.type == RTN_LOCAL || (!r.gateway && !r.multipath);
    });
    return direct;
}

}  // namespace

std::optional<std::uint32_t> flagsForAddress(const sockaddr_storage& address) {
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6) return std::nullopt;
    if (isUnspecified(address)) return flagsForAnyRoute(address.ss_family);

    sockaddr_storage target = address;
    // A port is needed for connect() to mean anything; none is ever used.
    if (target.ss_family == AF_INET) {
        auto& in = reinterpret_cast<sockaddr_in&>(target);
        if (in.sin_port == 0) in.sin_port = htons(9);
    } else {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(target);
        if (in6.sin6_port == 0) in6.sin6_port = htons(9);
    }
    Fd s(::socket(target.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return std::nullopt;
    if (::connect(s.get(), reinterpret_cast<const sockaddr*>(&target), lengthOf(target)) != 0) {
        // No route, a rejecting or black-hole route, or a family the machine
        // does not run: not reachable.
        return 0u;
    }
    std::uint32_t flags = kReachable;
    if (routeIsDirect(target)) flags |= kIsDirect;
    return flags;
}

}  // namespace routeprobe
