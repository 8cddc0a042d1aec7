// SPDX-License-Identifier: GPL-3.0-or-later
// The stale-picture warning of the picture view: while a camera is shown, a
// picture that stops being renewed (or never came) is dimmed under a
// warning, and the next picture ends it; another camera in the view clears
// the picture.

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "cameraview.h"
#include "camserver.h"
#include "testutil.h"
#include "touchimage.h"
#include "viewstestaccess.h"

TEST(StalePicture, MissingPicturesAreWarnedAboutWhileACameraIsShown) {
    TouchImage view;
    view.resize(320, 240);
    PictureFreshnessTestAccess::setMinimumStaleMs(view.freshness(), 300);
    view.freshness().setRefreshIntervalMs(50);
    const auto stale = [&] { return view.freshness().isStale(); };
    const auto pixel = [&](QPoint at) { return view.grab().toImage().pixelColor(at); };
    auto server = CamServer::create();
    CameraView camera("Gate", server.get());
    spinFor(400);
    EXPECT_FALSE(stale()) << "no camera shown, nothing to warn of";
    camera.setCamera(&view);  // shown, never delivering: counting
    ASSERT_TRUE(waitUntil(stale));
    view.clearPicture();  // no camera shown any more
    EXPECT_FALSE(stale());
    camera.setCamera(&view);
    const QImage grey = solid(QColor(200, 200, 200), view.size());
    view.setPicture(grey);
    view.setPicture(QImage());  // a failed picture
    EXPECT_EQ(view.picture(), grey) << "the last good picture stays";
    EXPECT_FALSE(stale()) << "not yet a few intervals old";
    ASSERT_TRUE(waitUntil(stale));
    EXPECT_TRUE(QRegularExpression("^No picture for \\d+ s$")
                    .match(view.freshness().warningText())
                    .hasMatch())
        << view.freshness().warningText().toStdString();
    const int corner = pixel({4, 4}).red();
    EXPECT_TRUE(corner > 20 && corner < 120) << "dimmed but still visible: " << corner;
    EXPECT_NE(pixel({160, 120}).red(), corner) << "the warning sits in the middle";
    view.setPicture(grey);
    EXPECT_TRUE(!stale() && view.freshness().warningText().isEmpty());
    EXPECT_EQ(pixel({160, 120}), QColor(200, 200, 200));
}

TEST(StalePicture, AnotherCameraClearsThePictureTheSameOneKeepsIt) {
    auto serverA = CamServer::create(), serverB = CamServer::create();
    // cleared: the same camera from a reloaded list keeps it
    // clang-format off
    const struct { CamServer* server; const char* imageUri; bool cleared; } cases[] = {
        {serverA.get(), "/c/0/image", false},
        {serverA.get(), "/c/1/image", true},
        {serverB.get(), "/c/0/image", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        TouchImage view;
        CameraView first("Gate", serverA.get()), next("Next", c.server);
        first.imageUri = "/c/0/image";
        first.setCamera(&view);
        view.setPicture(solid(Qt::green));
        next.imageUri = c.imageUri;
        next.setCamera(&view);
        EXPECT_EQ(view.picture().isNull(), c.cleared) << c.imageUri;
    }
}
