// SPDX-License-Identifier: GPL-3.0-or-later
// Going back in the whole viewer: what each cell showed is kept from one view
// per camera, a window's cells all go to one moment under the not-live mark,
// Save Picture there saves the picture shown, and the keys steer it.

#include "activitywatch.h"
#include "camerawall.h"
#include "controlroomhub.h"
#include "firstwindow.h"
#include "previewtouchimage.h"
#include "rewindbar.h"
#include "rewindkeeper.h"
#include "rewindplayer.h"
#include "rewindstore.h"
#include "roomscreen.h"
#include "touchview.h"
#include "viewerkit.h"
#include "windowrewind.h"

#include <QDateTime>

namespace {
using Kind = RewindStore::Part::Kind;

QByteArray bytesOf(const QString& text) {
    return text.toUtf8();
}
}  // namespace

// Stills come from the largest view showing a camera; none while a video of
// it is kept; of two videos of a camera the first keeps it.
TEST(RewindKeeper, KeepsEachCameraFromOneSource) {
    auto store = std::make_shared<RewindStore>(QString());
    RewindKeeper keeper(store);
    TouchImage small, large;
    small.resize(160, 120);
    large.resize(640, 360);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::gray);
    qint64 t = QDateTime::currentMSecsSinceEpoch() - 10'000;
    const auto shown = [&](TouchImage& view, const char* bytes) {
        view.setCameraPicture(
            {image, bytesOf(bytes), QDateTime::fromMSecsSinceEpoch(++t, Qt::UTC)});
        keeper.pictureShown("cam", &view);
    };
    const auto video = keeper.keepVideo("cam"), other = keeper.keepVideo("cam");
    const std::pair<std::function<void()>, QByteArray> steps[] = {
        {[&] { shown(small, "s1"); }, "s1"},  // the only view so far
        {[&] { shown(large, "l1"); }, "l1"},  // a larger one takes over
        {[&] { shown(small, "s2"); }, "l1"},
        {[&] {
             video({Kind::VideoPacket, ++t, "k", true});
         },
         "k"},
        {[&] { shown(large, "l2"); }, "k"},  // the video keeps the camera
        {[&] {
             other({Kind::VideoPacket, ++t, "o", true});
         },
         "k"},
    };
    for (const auto& [step, newest] : steps) {
        step();
        const auto kept = store->partBefore("cam", t);
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept.back().bytes, newest);
    }
}

// A video whose keeping began while rewind was off is kept from its next
// key frame on, with its configuration before it.
TEST(RewindKeeper, AVideoTurnedOnMidStreamIsKeptWhole) {
    auto store = std::make_shared<RewindStore>(QString());
    RewindKeeper keeper(store);
    const auto video = keeper.keepVideo("cam");
    qint64 t = QDateTime::currentMSecsSinceEpoch() - 10'000;
    store->setEnabled(false);
    video({Kind::VideoConfig, ++t, "config", false});
    video({Kind::VideoPacket, ++t, "k1", true});
    store->setEnabled(true);
    for (const auto& [bytes, key] : {std::pair{"p1", false}, {"k2", true}, {"p2", false}})
        video({Kind::VideoPacket, ++t, bytes, key});
    std::vector<QByteArray> kept;
    for (const RewindStore::Part& p : store->partBefore("cam", t)) kept.push_back(p.bytes);
    EXPECT_EQ(kept, (std::vector<QByteArray>{"config", "k2", "p2"}));
}

TEST_F(ViewerFixture, EveryCellGoesBackTogetherAndTheKeysSteerIt) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    app->hub()->edit([&](ControlRoom& r) {
        r.layouts = {Layout{
            "Two", 1, 2, {CameraRef{id, "/c/0", "Gate", 0}, CameraRef{id, "/c/1", "Yard", 1}}}};
    });
    FirstWindow* window = app->window();
    ASSERT_TRUE(window->showLayout("Two"));
    const auto cell = [&](int i) { return window->roomScreen()->wall()->cell(i)->imageView(); };
    const std::shared_ptr<RewindStore>& store = app->hub()->rewindStore();
    ASSERT_TRUE(waitUntil([&] { return store->cameras().size() == 2; }));
    spinFor(500);
    auto* rewind = window->findChild<WindowRewind*>();
    ASSERT_TRUE(rewind);
    rewind->player()->show(QDateTime::currentMSecsSinceEpoch() - 200);
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(
            waitUntil([&] { return cell(i)->showsPast() && cell(i)->hasSavablePicture(); }));
        EXPECT_FALSE(cell(i)->pastMark().isEmpty());
        // What Save Picture would write: the kept still of the cell's own camera.
        EXPECT_EQ(cameraOfPicture(QImage::fromData(cell(i)->savedBytes())), i);
    }
    const QString mark = cell(0)->pastMark();
    ASSERT_TRUE(waitUntil([&] { return cell(0)->pastMark() != mark; })) << "the age goes on";
    EXPECT_TRUE(cell(0)->hasSavablePicture() && cell(1)->hasSavablePicture())
        << "under the new mark";
    EXPECT_TRUE(rewind->bar()->isVisible()) << "the timeline stays while not live";
    QTest::keyClick(cell(0), Qt::Key_Space);
    EXPECT_TRUE(rewind->player()->isPlaying());
    QTest::keyClick(cell(1), Qt::Key_End);
    EXPECT_TRUE(rewind->isLive());
    EXPECT_FALSE(cell(0)->showsPast() || cell(1)->showsPast());
}
