// Silent reconnection after "Server is not available": growing pauses, at
// once on a change of the network, no alerts, and a start-up's result once
// the server is back.

#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "../net/testnetns.h"
#include "serverprobe.h"
#include "viewerfixture.h"

namespace {

ScriptedServer::Script listsUnanswered() {
    return [](const ScriptedServer::Request& r) {
        if (r.target == "/microphones" || r.target == "/cameras")
            return ScriptedServer::of(ScriptedServer::Reply::Kind::Reset);
        return videoServer()(r);
    };
}

}  // namespace

TEST_F(LiveViewer, ServerBackAfterAStartWithoutItShowsItsPictureWithoutASecondAlert) {
    int port = 0;
    {
        ScriptedServer probe(videoServer());
        port = probe.port();
    }  // nobody listens there now
    writeSettings(dir.path(), port, 1);
    start();
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    EXPECT_EQ(alerts->texts, std::vector<QString>{"Server is not available"});
    EXPECT_TRUE(app->reconnector()->isActive());
    // While nothing listens the retries probe the port.
    ASSERT_TRUE(waitUntil([&] { return ReconnectorTestAccess::probes(*app->reconnector()) >= 2; }));

    ScriptedServer server(videoServer(), port);
    ASSERT_TRUE(server.listening());
    ASSERT_TRUE(waitForPicture());
    EXPECT_FALSE(app->reconnector()->isActive());
    EXPECT_EQ(app->camerasMenu()->actions().size(), 3);
    EXPECT_TRUE(app->camerasMenu()->actions().at(1)->isChecked()) << "the stored camera";
    EXPECT_EQ(server.requests().front().target, "/microphones") << "loaded as at start-up";
    spinFor(300);
    EXPECT_EQ(alerts->texts.size(), 1u) << "the retries raise no alert";
}

TEST_F(LiveViewer, RetriesAreSilentWithGrowingPauses) {
    ScriptedServer server(listsUnanswered());
    writeSettings(dir.path(), server.port(), 0);
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
}

TEST_F(LiveViewer, TheUsersOwnReloadEndsTheRetriesAndIsHeardOf) {
    ScriptedServer server(listsUnanswered());
    writeSettings(dir.path(), server.port(), 0);
    start();
    ASSERT_TRUE(
        waitUntil([&] { return ReconnectorTestAccess::attempts(*app->reconnector()) >= 1; }));
    ASSERT_EQ(alerts->texts.size(), 1u);
    app->openServer();  // Ctrl+R
    EXPECT_FALSE(app->reconnector()->isActive());
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() == 2; }))
        << "the person's own reload fails with an alert";
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

    int reloads = 0;
    bool wanted = true;
    Reconnector r([&] {
        if (wanted) ++reloads;
        return wanted;
    });
    // Only the network can bring a retry.
    ReconnectorTestAccess::setTiming(r, {600000, 600000, 600000});
    r.start("10.20.0.7");
    spinFor(200);
    EXPECT_EQ(reloads, 0);

    // The host becomes reachable.
    ASSERT_TRUE(ns.ip("addr add 10.20.0.1/24 dev zva"));
    ASSERT_TRUE(waitUntil([&] { return reloads == 1; }));
    // A change while that attempt is out waits for its end, then tries again.
    ASSERT_TRUE(ns.ip("route add 10.30.0.0/24 via 10.20.0.2"));
    spinFor(300);
    EXPECT_EQ(reloads, 1) << "one attempt at a time";
    EXPECT_TRUE(r.takeFailure()) << "the attempt's failure is the retries' own";
    EXPECT_EQ(reloads, 2);
    EXPECT_TRUE(r.takeFailure());
    spinFor(300);
    EXPECT_EQ(reloads, 2) << "no change, no attempt before the pause ends";

    r.succeeded();
    EXPECT_FALSE(r.isActive());
    EXPECT_FALSE(r.takeFailure()) << "after the end, failures are the person's to hear of";
    ASSERT_TRUE(ns.ip("route del 10.30.0.0/24 via 10.20.0.2"));
    spinFor(300);
    EXPECT_EQ(reloads, 2);

    // Retries for a server that is no longer wanted end at the next try,
    // and leave no failure to swallow.
    r.start("10.20.0.7");
    wanted = false;
    ASSERT_TRUE(ns.ip("addr del 10.20.0.1/24 dev zva"));
    ASSERT_TRUE(waitUntil([&] { return !r.isActive(); }));
    EXPECT_EQ(reloads, 2);
    EXPECT_FALSE(r.takeFailure());
}

TEST_F(LiveViewer, ServerBackWhileNobodyAnswersTheAlertTakesTheAlertAway) {
    alerts.reset();  // nobody there to press OK
    int port = 0;
    {
        ScriptedServer probe(videoServer());
        port = probe.port();
    }
    writeSettings(dir.path(), port, 2);

    // The alert runs its own event loop: what happens while it is up is
    // done from a timer, which also presses OK after a generous bound so
    // that a failure ends the test instead of hanging it.
    std::unique_ptr<ScriptedServer> server;
    int attemptsDuringAlert = 0;
    QElapsedTimer alertUp;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (!alertUp.isValid()) alertUp.start();
        attemptsDuringAlert = ReconnectorTestAccess::attempts(*app->reconnector()) +
                              ReconnectorTestAccess::probes(*app->reconnector());
        if (!server && attemptsDuringAlert >= 1)
            server = std::make_unique<ScriptedServer>(videoServer(), port);
        if (alertUp.elapsed() > 30000) box->buttons().first()->click();
    });
    watcher.start();
    start();
    ASSERT_TRUE(waitUntil([&] { return server && !app->mainImage()->picture().isNull(); }));
    EXPECT_LT(alertUp.elapsed(), 30000) << "the alert went by itself";
    EXPECT_GE(attemptsDuringAlert, 1) << "the retries do not wait for the alert";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    spinFor(200);
    EXPECT_EQ(app->camerasMenu()->actions().size(), 3) << "the fresh list stays in the menu";
    EXPECT_TRUE(app->camerasMenu()->actions().at(2)->isChecked());
    EXPECT_FALSE(app->reconnector()->isActive());
}

// A server that refuses connections for a while and comes back on the same
// port: the picture, or the lists after a start without it, come back with
// no alert beyond the first, well before the retries' pauses would have
// brought them (the pauses here are too long to), and while it is down the
// viewer connects at most about once a second.
TEST_F(ViewerFixture, ARefusedServerThatComesBackIsSeenAtOnce) {
    struct Case {
        const char* name;
        bool startDown;  // else a camera is shown when the server goes
        size_t alerts;   // "Server is not available" at a start without it
    } cases[] = {
        {"the picture, after pictures flowed", false, 0},
        {"the lists, after a start without the server", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts->texts.clear();
        auto server = std::make_unique<ScriptedServer>(videoServer());
        const int port = server->port();
        writeSettings(dir.path(), port, 0);
        if (c.startDown) server.reset();
        start([](ZorvanMacAppDelegate& a) {
            ReconnectorTestAccess::setTiming(*a.reconnector(), {20000, 30000, 10000});
        });
        if (c.startDown) {
            ASSERT_TRUE(waitUntil([&] { return app->reconnector()->isActive(); }));
        } else {
            ASSERT_TRUE(waitForPicture());
            server.reset();
        }
        const auto connects = [&] {
            return ReconnectorTestAccess::probes(*app->reconnector()) +
                   ReconnectorTestAccess::attempts(*app->reconnector()) +
                   app->pictureProbe()->connects();
        };
        const int before = connects();
        spinFor(3000);
        EXPECT_LE(connects() - before, 3 + 2) << "about one connection a second while down";
        const qint64 shown = app->mainImage()->picture().cacheKey();

        server = std::make_unique<ScriptedServer>(videoServer(), port);
        ASSERT_TRUE(server->listening());
        EXPECT_TRUE(waitUntil(
            [&] {
                const QImage p = app->mainImage()->picture();
                return !p.isNull() && p.cacheKey() != shown;
            },
            10000));
        EXPECT_EQ(app->camerasMenu()->actions().size(), 3);
        EXPECT_EQ(alerts->texts.size(), c.alerts);
        quit();
    }
}
