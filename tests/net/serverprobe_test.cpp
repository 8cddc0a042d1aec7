// SPDX-License-Identifier: GPL-3.0-or-later
// The probe that finds out when a server takes connections again: what it
// reports, and how often it connects, counted by the kernel.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "scriptedserver.h"
#include "serverprobe.h"
#include "testnetns.h"
#include "testutil.h"

namespace {

// The connection attempts (SYNs sent) of this thread's network namespace so
// far: the kernel's own count, which sees every retry a socket library makes.
long activeOpens() {
    std::ifstream snmp("/proc/thread-self/net/snmp");
    std::string header, values;
    while (std::getline(snmp, header) && std::getline(snmp, values)) {
        if (header.rfind("Tcp:", 0) != 0) continue;
        std::istringstream names(header), numbers(values);
        std::string name, number;
        while (names >> name && numbers >> number)
            if (name == "ActiveOpens") return std::stol(number);
    }
    return -1;
}

}  // namespace

TEST(ServerProbe, ReportsWhetherAndWhenTheServerTakesConnections) {
    // listenAfterMs -1: listening from the start; 0: never.
    // clang-format off
    const struct { const char* name; const char* host; int listenAfterMs; std::vector<const char*> reports; } cases[] = {
        {"listening", "127.0.0.1", -1, {"answering"}},
        // The name's first address may be ::1, where nobody listens.
        {"listening, asked by name", "localhost", -1, {"answering"}},
        {"refused, then back", "127.0.0.1", 2500, {"down", "back"}},
        {"refused throughout", "127.0.0.1", 0, {"down"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto server = std::make_unique<ScriptedServer>(ScriptedServer::json("[]"));
        const int port = server->port();
        if (c.listenAfterMs >= 0) server.reset();
        ServerProbe probe;
        std::vector<const char*> reports;
        QObject::connect(&probe, &ServerProbe::answering, [&] { reports.push_back("answering"); });
        QObject::connect(&probe, &ServerProbe::down, [&] { reports.push_back("down"); });
        QObject::connect(&probe, &ServerProbe::back, [&] { reports.push_back("back"); });
        probe.start(c.host, static_cast<quint16>(port));
        if (c.listenAfterMs > 0) {
            spinFor(c.listenAfterMs);
            server = std::make_unique<ScriptedServer>(ScriptedServer::json("[]"), port);
            ASSERT_TRUE(server->listening());
        }
        EXPECT_TRUE(waitUntil([&] { return reports.size() >= c.reports.size(); }, 10000));
        EXPECT_EQ(reports, c.reports);
        if (server) EXPECT_TRUE(server->requests().empty()) << "a probe sends nothing";
        const int connects = probe.connects();
        probe.stop();
        spinFor(1200);
        EXPECT_EQ(probe.connects(), connects) << "nothing after the stop";
    }
}

// A server that refuses, checked by two users at once (the retries of the
// lists and the picture's own probe): one connection attempt a second in
// all, counted by the kernel in a network namespace of the test's own.
TEST(ServerProbe, OneConnectASecondToAnAddressWhoeverAsks) {
    TestNetns ns;
    if (!ns.whyNot().empty()) GTEST_SKIP() << "network namespace tests skipped: " << ns.whyNot();
    const long before = activeOpens();
    ASSERT_GE(before, 0);
    ServerProbe lists, picture, other;
    int downs = 0;
    for (ServerProbe* p : {&lists, &picture, &other})
        QObject::connect(p, &ServerProbe::down, [&] { ++downs; });
    lists.start("127.0.0.1", 1818);
    picture.start("127.0.0.1", 1818);
    other.start("127.0.0.1", 1819);  // another server: checks of its own
    spinFor(3500);
    EXPECT_EQ(downs, 3) << "each probe learns that its server is down";
    // 4 checks of each address in 3.5 s (at 0, 1, 2 and 3 s), one margin.
    EXPECT_LE(activeOpens() - before, 2 * 5);
    EXPECT_GE(activeOpens() - before, 2 * 3);
    lists.stop();  // the other user goes on checking by itself
    const long afterStop = activeOpens();
    spinFor(2500);
    EXPECT_GE(activeOpens() - afterStop, 2 * 2);
}
