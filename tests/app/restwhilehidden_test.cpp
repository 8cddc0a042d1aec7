// No pictures are asked for while the window cannot be seen; one is asked
// for at once when it can again.

#include "restwhilehidden.h"
#include "viewerfixture.h"

TEST_F(LiveViewer, NoPicturesWhileHiddenOneAtOnceOnReturn) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    start();
    ASSERT_TRUE(waitForPicture());
    QWidget* window = app->window();
    const struct {
        const char* how;
        std::function<void()> hide, show;
    } ways[] = {
        {"minimised", [&] { window->showMinimized(); }, [&] { window->showNormal(); }},
        {"hidden", [&] { window->hide(); }, [&] { window->show(); }},
    };
    for (const auto& w : ways) {
        w.hide();
        ASSERT_TRUE(waitUntil([&] { return app->restWhileHidden()->resting(); })) << w.how;
        spinFor(200);  // a request already out may still arrive
        const size_t atRest = pictureRequests(server);
        spinFor(600);
        EXPECT_EQ(pictureRequests(server), atRest) << w.how;

        // A reload while hidden shows the camera again, still at rest.
        const size_t lists = countOf(server, "/cameras");
        app->openServer();
        ASSERT_TRUE(waitUntil([&] { return countOf(server, "/cameras") > lists; })) << w.how;
        spinFor(400);
        EXPECT_EQ(pictureRequests(server), atRest) << w.how;

        w.show();
        ASSERT_TRUE(waitUntil([&] { return !app->restWhileHidden()->resting(); })) << w.how;
        EXPECT_TRUE(waitUntil([&] { return pictureRequests(server) >= atRest + 3; }))
            << w.how << ": pictures come again";
    }
}

TEST_F(LiveViewer, TheWallRestsWhileHiddenToo) {
    ScriptedServer server(videoServer());
    writeSettings(dir.path(), server.port(), 0);
    {
        auto store = Settings::createInFolder(dir.path(), "en");
        store->getCurrent()->previewRegim = 1;
        store->save();
    }
    start();
    ASSERT_TRUE(waitUntil([&] { return pictureRequests(server) >= 6; })) << "the wall is live";
    app->window()->hide();
    ASSERT_TRUE(waitUntil([&] { return app->restWhileHidden()->resting(); }));
    spinFor(200);  // requests already out may still arrive
    const size_t atRest = pictureRequests(server);
    spinFor(600);
    EXPECT_EQ(pictureRequests(server), atRest);

    app->window()->show();
    EXPECT_TRUE(waitUntil([&] { return pictureRequests(server) >= atRest + 3; }))
        << "every camera of the page asks again";
}
