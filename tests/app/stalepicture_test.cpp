// The stale-picture warning in the whole viewer: whatever makes pictures
// fail, the last one stays under the warning, and the next picture ends it.
// The warning's own rules are the picture view's (views suite).

#include "viewerkit.h"

TEST_F(LiveViewer, WarningAppearsWhateverTheCauseAndGoesWithTheNextPicture) {
    auto server = std::make_unique<ScriptedServer>(camerasServer());
    const int port = server->port();
    const auto failPictures = [&](ScriptedServer::Reply failed) {
        server->setScript(answering("resolution=", failed));
    };
    using Kind = ScriptedServer::Reply::Kind;
    const struct {
        const char* cause;
        std::function<void()> fail;
    } causes[] = {
        {"a server that stalls", [&] { failPictures(ScriptedServer::of(Kind::Stall)); }},
        {"a connection reset", [&] { failPictures(ScriptedServer::of(Kind::Reset)); }},
        {"a picture that does not decode", [&] { failPictures(ScriptedServer::json("no")); }},
        {"a refused connection", [&] { server.reset(); }},
    };
    writeServers(dir.path(), {{"Local", port, true}});
    start();
    for (const auto& c : causes) {
        ASSERT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); })) << c.cause;
        ASSERT_TRUE(waitForPictureOf(0)) << c.cause;
        c.fail();
        ASSERT_TRUE(waitUntil([&] { return app->mainImage()->freshness().isStale(); })) << c.cause;
        EXPECT_FALSE(app->mainImage()->picture().isNull()) << c.cause << ": the picture stays";
        server.reset();  // and back, answering again
        server = std::make_unique<ScriptedServer>(camerasServer(), port);
        ASSERT_TRUE(server->listening()) << c.cause;
        EXPECT_TRUE(waitUntil([&] { return !app->mainImage()->freshness().isStale(); }))
            << c.cause << ": the next picture ends the warning";
    }
    EXPECT_TRUE(alerts->texts.empty()) << "failed pictures raise no alert";
}
