// SPDX-License-Identifier: GPL-3.0-or-later
// The reachability monitor against real routing tables: each test that needs
// a network makes its own namespace (testnetns.h) with a veth pair, and sends
// nothing anywhere else.

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <thread>

#include "reachability.h"
#include "testnetns.h"
#include "testutil.h"

namespace {

constexpr std::uint32_t kR = Reachability::kFlagReachable;
constexpr std::uint32_t kD = Reachability::kFlagIsDirect;

std::unique_ptr<Reachability> monitorFor(const char* dotted) {
    sockaddr_in a = {.sin_family = AF_INET, .sin_port = 0, .sin_addr = {}, .sin_zero = {}};
    EXPECT_EQ(::inet_pton(AF_INET, dotted, &a.sin_addr), 1) << dotted;
    return Reachability::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&a));
}

// A namespace with a veth pair zva/zvb, both up, no addresses yet.
class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ns.whyNot().empty())
            GTEST_SKIP() << "network namespace tests skipped: " << ns.whyNot();
        ASSERT_TRUE(ns.ip("link add zva type veth peer name zvb"));
        ASSERT_TRUE(ns.ip("link set zva up"));
        ASSERT_TRUE(ns.ip("link set zvb up"));
    }
    TestNetns ns;
};

// Counts a monitor's notifications.
struct Counter {
    explicit Counter(Reachability& r) {
        QObject::connect(&r, &Reachability::kNetworkReachabilityChangedNotification, &r,
                         [this, &r](Reachability* sender) {
                             EXPECT_EQ(sender, &r);
                             ++count;
                         });
    }
    int count = 0;
};

}  // namespace

TEST(Reachability, TargetsThatCannotBeMadeGiveNoMonitor) {
    EXPECT_EQ(Reachability::reachabilityWithHostName(""), nullptr);
    EXPECT_EQ(Reachability::reachabilityWithHostName(QString(254, 'a')), nullptr);
    EXPECT_EQ(Reachability::reachabilityWithAddress(nullptr), nullptr);
    const sockaddr unixAddress = {.sa_family = AF_UNIX, .sa_data = {}};
    EXPECT_EQ(Reachability::reachabilityWithAddress(&unixAddress), nullptr);
    // A monitor notifies on its own thread, so it starts only there.
    auto monitor = monitorFor("127.0.0.1");
    std::thread([&] { EXPECT_FALSE(monitor->startNotifier()); }).join();
}

// Each monitor's flags follow the routing table, and a notifying monitor
// tells each change that matters to it once. A stopped monitor still
// answers but says nothing, a restarted one counts as the first, and a
// receiver may end the monitor that notifies it.
TEST_F(NetnsTest, StatusFollowsTheRoutingTableWithOneNotificationForEachChange) {
    auto onLink = monitorFor("10.20.0.7");
    auto viaGateway = monitorFor("10.30.0.9");
    auto nowhere = Reachability::reachabilityWithHostName("10.40.0.1");  // numeric: no look-up
    auto loopback = monitorFor("127.0.0.1");
    auto internet = Reachability::reachabilityForInternetConnection();
    auto localLink = Reachability::reachabilityForLocalWiFi();
    auto stopped = monitorFor("10.20.0.7");
    auto restarted = monitorFor("10.20.0.7");
    auto selfDestroying = monitorFor("10.20.0.7");
    auto resolving = Reachability::reachabilityWithHostName("zorvan-no-such-host.invalid");
    for (auto* r : {onLink.get(), viaGateway.get(), stopped.get(), restarted.get(),
                    selfDestroying.get(), resolving.get()})
        ASSERT_TRUE(r->startNotifier());
    Counter a(*onLink), b(*viaGateway), stoppedCount(*stopped), restartedCount(*restarted);
    bool destroyed = false;
    QObject::connect(selfDestroying.get(), &Reachability::kNetworkReachabilityChangedNotification,
                     [&] {
                         selfDestroying.reset();
                         destroyed = true;
                     });
    stopped->stopNotifier();
    restarted->stopNotifier();
    ASSERT_TRUE(restarted->startNotifier());
    resolving.reset();  // while its name is being looked up
    EXPECT_FALSE(nowhere->hostLookupPending());

    // a, b: the notifications so far.
    // clang-format off
    const struct { std::vector<std::string> commands; std::uint32_t onLink, viaGateway, nowhere;
                   int internet, localLink, a, b; } steps[] = {
        {{}, 0, 0, 0, 0, 0, 0, 0},
        {{"addr add 10.20.0.1/24 dev zva"}, kR | kD, 0, 0, 1, 0, 1, 0},
        {{"route add 10.30.0.0/24 via 10.20.0.2"}, kR | kD, kR, 0, 1, 0, 1, 1},
        {{"link add zvc type veth peer name zvd"}, kR | kD, kR, 0, 1, 0, 1, 1},  // changes nothing here
        {{"route add 169.254.0.0/16 dev zva"}, kR | kD, kR, 0, 1, 1, 1, 1},
        {{"route del 10.30.0.0/24 via 10.20.0.2"}, kR | kD, 0, 0, 1, 1, 1, 2},
        // Through a gateway the local link is reachable but not direct.
        {{"route del 169.254.0.0/16 dev zva", "route add default via 10.20.0.2"}, kR | kD, kR, kR, 1, 0, 1, 3},
        {{"addr del 10.20.0.1/24 dev zva"}, 0, 0, 0, 0, 0, 2, 4},
    };
    // clang-format on
    for (const auto& s : steps) {
        SCOPED_TRACE(s.commands.empty() ? "none" : s.commands.back());
        for (const auto& c : s.commands) ASSERT_TRUE(ns.ip(c)) << c;
        EXPECT_TRUE(waitUntil([&] { return a.count >= s.a && b.count >= s.b; }));
        spinFor(300);  // room for a second, wrong notification
        EXPECT_EQ(
            std::tuple(onLink->currentFlags(), viaGateway->currentFlags(), nowhere->currentFlags(),
                       loopback->currentFlags(), onLink->connectionRequired(),
                       internet->currentReachabilityStatus(),
                       localLink->currentReachabilityStatus(), a.count, b.count,
                       restartedCount.count, stoppedCount.count,
                       onLink->currentReachabilityStatus(), viaGateway->currentReachabilityStatus(),
                       stopped->currentReachabilityStatus()),
            std::tuple(s.onLink, s.viaGateway, s.nowhere, kR | kD, false, s.internet, s.localLink,
                       s.a, s.b, s.a, 0, s.onLink ? 1 : 0, s.viaGateway ? 1 : 0, s.onLink ? 1 : 0));
    }
    EXPECT_TRUE(destroyed);
}

TEST_F(NetnsTest, HostNamesAreResolvedWithoutBlocking) {
    ASSERT_TRUE(ns.ip("addr add 10.20.0.1/24 dev zva"));
    // lookup: resolved on a thread, not at once.
    // clang-format off
    const struct { const char* name; bool lookup; int status; } cases[] = {
        {"localhost", true, 1},
        // No name server can be reached from this namespace: the lookup
        // fails, and the host is not reachable.
        {"zorvan-no-such-host.invalid", true, 0},
        {"10.20.0.7", false, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        auto r = Reachability::reachabilityWithHostName(c.name);
        ASSERT_NE(r, nullptr) << c.name;
        ASSERT_TRUE(r->startNotifier());
        Counter count(*r);
        EXPECT_EQ(r->hostLookupPending(), c.lookup) << c.name;
        // Asked before the answer: not reachable yet, and no waiting.
        EXPECT_EQ(c.lookup ? r->currentReachabilityStatus() : 0, 0) << c.name;
        ASSERT_TRUE(waitUntil([&] { return !r->hostLookupPending(); })) << c.name;
        EXPECT_EQ(r->currentReachabilityStatus(), c.status) << c.name;
        // Becoming reachable once the name is known is a change.
        EXPECT_EQ(count.count, c.lookup && c.status ? 1 : 0) << c.name;
    }
}
