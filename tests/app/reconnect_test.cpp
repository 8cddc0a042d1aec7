// SPDX-License-Identifier: GPL-3.0-or-later
// Silent reconnection after "Server is not available": growing pauses, at
// once on a change of the network or when the server takes connections
// again, no alerts, and a start-up's result once the server is back.

#include "../net/testnetns.h"
#include "viewerkit.h"

namespace {

// A server that resets every connection.
ScriptedServer::Reply reset(const ScriptedServer::Request&) {
    return ScriptedServer::of(ScriptedServer::Reply::Kind::Reset);
}

}  // namespace

TEST_F(ViewerFixture, RetriesAreSilentWithGrowingPausesUntilTheUsersOwnReload) {
    ScriptedServer server(reset);
    writeServers(dir.path(), {{"Local", server.port(), true}});
    std::vector<int> pauses;
    start([&](ZorvanMacAppDelegate& a) {
        // Changes of this machine's network would rightly start the pauses
        // over; only the pauses are looked at here.
        ReconnectorTestAccess::setTiming(*a.reconnector(), {100, 400, 5000, false});
        ReconnectorTestAccess::onAttempt(*a.reconnector(), [&] {
            pauses.push_back(ReconnectorTestAccess::pauseMs(*a.reconnector()));
        });
    });
    ASSERT_TRUE(waitUntil([&] { return pauses.size() >= 5; }));
    EXPECT_EQ(std::vector<int>(pauses.begin(), pauses.begin() + 5),
              (std::vector<int>{100, 200, 400, 400, 400}));
    EXPECT_EQ(alerts->texts, std::vector<QString>{"Server is not available"});
    // One list load per attempt, no more: the first load and the retries.
    EXPECT_LE(countOf(server, "/microphones"), pauses.size() + 1);
    EXPECT_GE(countOf(server, "/microphones"), pauses.size());
    app->openServer();  // Ctrl+R: the person's own reload ends the retries
    EXPECT_FALSE(app->reconnector()->isActive());
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() == 2; })) << "and fails with an alert";
    EXPECT_EQ(alerts->texts[1], "Server is not available");
    ASSERT_TRUE(waitUntil([&] { return app->reconnector()->isActive(); })) << "and retries again";
}

// The reconnector alone, in a network namespace of the test's own.
TEST(Reconnector, TriesAtOnceWhenTheNetworkChanges) {
    TestNetns ns;
    if (!ns.whyNot().empty()) GTEST_SKIP() << "network namespace tests skipped: " << ns.whyNot();
    ASSERT_TRUE(ns.ip("link add zva type veth peer name zvb"));
    ASSERT_TRUE(ns.ip("link set zva up"));
    ASSERT_TRUE(ns.ip("link set zvb up"));
    // The kernel reports a link's carrier up to a second after the link is
    // set up; the watch starts after that, so it sees only the test's changes.
    spinFor(1500);
    int reloads = 0;
    bool wanted = true;
    Reconnector r([&] {
        reloads += wanted;
        return wanted;
    });
    ReconnectorTestAccess::setTiming(r, {600000, 600000, 600000});  // only the network retries
    r.start("10.20.0.7");
    ASSERT_TRUE(ns.ip("addr add 10.20.0.1/24 dev zva"));  // the host becomes reachable
    // The host's watch and the network's both report it, the host's after a
    // look-up of its own: one attempt, the later report waiting for its end.
    const auto changeWaiting = [&] { return ReconnectorTestAccess::changeWaiting(r); };
    ASSERT_TRUE(waitUntil([&] { return reloads == 1 && changeWaiting(); }));
    EXPECT_TRUE(r.takeFailure()) << "the attempt's failure is the retries' own";
    EXPECT_EQ(reloads, 2);
    // A change while that attempt is out waits for its end, then tries again.
    ASSERT_TRUE(ns.ip("route add 10.30.0.0/24 via 10.20.0.2"));
    ASSERT_TRUE(waitUntil(changeWaiting));
    EXPECT_EQ(reloads, 2) << "one attempt at a time";
    EXPECT_TRUE(r.takeFailure());
    EXPECT_EQ(reloads, 3);
    r.succeeded();
    EXPECT_FALSE(r.takeFailure()) << "after the end, failures are the person's to hear of";

    // Retries for a server that is no longer wanted end at the next try,
    // and leave no failure to swallow.
    r.start("10.20.0.7");
    wanted = false;
    ASSERT_TRUE(ns.ip("addr del 10.20.0.1/24 dev zva"));
    ASSERT_TRUE(waitUntil([&] { return !r.isActive(); }));
    EXPECT_EQ(reloads, 3);
    EXPECT_FALSE(r.takeFailure());
}

// A server that refuses connections for a while and comes back on the same
// port: the picture, or the lists after a start without it, come back with
// no alert beyond the first (which goes by itself, nobody pressing OK), well
// before the retries' pauses would have brought them (the pauses here are
// too long to). The probe's pace is the server probe's rule; the warning
// over the last picture the picture view's.
TEST_F(ViewerFixture, ARefusedServerThatComesBackIsSeenAtOnce) {
    alerts->hold = true;
    for (const bool startDown : {false, true}) {  // else a camera is shown when it goes
        SCOPED_TRACE(startDown);
        alerts->maxOpen = 0;
        auto server = std::make_unique<ScriptedServer>(camerasServer());
        const int port = server->port();
        writeServers(dir.path(), {{"Local", port, true}}, 1);
        if (startDown) server.reset();
        start([](ZorvanMacAppDelegate& a) {
            ReconnectorTestAccess::setTiming(*a.reconnector(), {20000, 30000, 10000});
        });
        ASSERT_TRUE(startDown ? waitUntil([&] { return app->reconnector()->isActive(); })
                              : waitForPictureOf(1));
        server.reset();
        spinFor(1000);
        const qint64 shown = app->window()->mainImage()->picture().cacheKey();
        server = std::make_unique<ScriptedServer>(camerasServer(), port);
        ASSERT_TRUE(server->listening());
        EXPECT_TRUE(waitUntil(
            [&] {
                const QImage p = app->window()->mainImage()->picture();
                return !p.isNull() && p.cacheKey() != shown;
            },
            10000))
            << "before the retries' pause would end";
        const std::string first = server->requests().front().target;
        EXPECT_EQ(first.rfind(startDown ? "/microphones" : "/c/1/image?", 0), 0u) << first;
        EXPECT_EQ(checkedItems(app->window()->camerasMenu()), std::vector<int>{1})
            << "the stored camera";
        EXPECT_EQ(alerts->maxOpen, startDown ? 1 : 0);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the alert went by itself";
        EXPECT_FALSE(app->reconnector()->isActive());
        quit();
    }
}
