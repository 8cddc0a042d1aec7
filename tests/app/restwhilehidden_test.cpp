// SPDX-License-Identifier: GPL-3.0-or-later
// No pictures are asked for while the window cannot be seen; they are asked
// for at once when it can again.

#include "restwhilehidden.h"
#include "viewerkit.h"

TEST_F(ViewerFixture, NoPicturesWhileHiddenAtOnceOnReturn) {
    // wall: every camera of the page asks, not the shown one alone.
    // clang-format off
    const struct { const char* how; bool wall; void (QWidget::*hide)(); void (QWidget::*show)(); } ways[] = {
        {"minimised", false, &QWidget::showMinimized, &QWidget::showNormal},
        {"hidden", false, &QWidget::hide, &QWidget::show},
        {"hidden with the wall", true, &QWidget::hide, &QWidget::show},
    };
    // clang-format on
    for (const auto& w : ways) {
        SCOPED_TRACE(w.how);
        ScriptedServer server(camerasServer());
        writeServers(dir.path(), {{"Local", server.port(), true, w.wall ? 1 : 0}});
        start();
        ASSERT_TRUE(waitUntil([&] { return picturesOf(server) >= 3; }));
        (app->window()->*w.hide)();
        ASSERT_TRUE(waitUntil([&] { return AppAccess::restWhileHidden(*app)->resting(); }));
        spinFor(200);  // a request already out may still arrive
        const size_t atRest = picturesOf(server);
        spinFor(600);
        EXPECT_EQ(picturesOf(server), atRest);

        // A reload while hidden shows the camera again, still at rest.
        const size_t lists = countOf(server, "/cameras");
        app->openServer();
        ASSERT_TRUE(waitUntil([&] { return countOf(server, "/cameras") > lists; }));
        spinFor(400);
        EXPECT_EQ(picturesOf(server), atRest);

        (app->window()->*w.show)();
        ASSERT_TRUE(waitUntil([&] { return !AppAccess::restWhileHidden(*app)->resting(); }));
        EXPECT_TRUE(waitUntil([&] { return picturesOf(server) >= atRest + 3; }))
            << "pictures come again";
        quit();
    }
}
