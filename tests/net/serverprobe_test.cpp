// The probe that finds out when a server takes connections again: what it
// reports, and that it never connects more than once a second.


#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scriptedserver.h"
#include "serverprobe.h"
#include "testutil.h"

TEST(ServerProbe, ReportsWhetherAndWhenTheServerTakesConnections) {
    struct Case {
        const char* name;
        const char* host;
        int listenAfterMs;  // -1: listening from the start; 0: never
        std::vector<const char*> reports;
    } cases[] = {
        {"listening", "127.0.0.1", -1, {"answering"}},
        // The name's first address may be ::1, where nobody listens.
        {"listening, asked by name", "localhost", -1, {"answering"}},
        {"refused, then back", "127.0.0.1", 2500, {"down", "back"}},
        {"refused throughout", "127.0.0.1", 0, {"down"}},
    };
    for (const Case& c : cases) {
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
        const int downMs = c.listenAfterMs > 0 ? c.listenAfterMs : 3500;
        if (c.listenAfterMs >= 0) {
            spinFor(downMs);
            // At most one connect a second while refused (a margin of one).
            EXPECT_LE(probe.connects(), downMs / 1000 + 2);
            EXPECT_GE(probe.connects(), 2) << "it keeps trying";
        }
        if (c.listenAfterMs > 0) {
            server = std::make_unique<ScriptedServer>(ScriptedServer::json("[]"), port);
            ASSERT_TRUE(server->listening());
            EXPECT_TRUE(waitUntil([&] { return !probe.isActive(); }, 10000));
        }
        if (c.listenAfterMs < 0) EXPECT_TRUE(waitUntil([&] { return !reports.empty(); }, 10000));
        EXPECT_EQ(reports, c.reports);
        if (server) EXPECT_TRUE(server->requests().empty()) << "a probe sends nothing";
        const int connects = probe.connects();
        probe.stop();
        spinFor(1200);
        EXPECT_EQ(probe.connects(), connects) << "nothing after the stop";
    }
}
