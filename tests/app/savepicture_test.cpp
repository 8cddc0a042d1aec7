// SPDX-License-Identifier: GPL-3.0-or-later
// Save Picture in the whole viewer: the file holds the bytes the server
// sent, for the one camera and a wall cell, from the menu and the context
// menu; the item waits for a picture. Names and the writing itself are
// PictureFile's rules.

#include <QDir>
#include <QStandardPaths>

#include "camerawall.h"
#include "previewtouchimage.h"
#include "touchview.h"
#include "viewerkit.h"

namespace {

// Cameras C0..C2; camera 2's pictures are refused.
std::string threeCameras() {
    std::string doc = camerasDoc({"C0", "C1", "C2"});
    return doc.replace(doc.find("/c/2/image"), 10, "/x");
}

class SavePicture : public ViewerFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                  pictures.path());
    }
    QDir folder() const { return QDir(pictures.path() + "/Zorvan"); }
    QStringList saved() const { return folder().entryList(QDir::Files); }

    OwnPicturesFolder pictures;
};

}  // namespace

TEST_F(SavePicture, TheFileHoldsTheBytesTheServerSent) {
    // Camera 1 is the one shown, or the wall's selected cell; saved 0: a cell not selected.
    // clang-format off
    const struct { bool wall, contextMenu; int saved; } cases[] = {
        {false, false, 1}, {false, true, 1}, {true, false, 1}, {true, true, 0}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wall << c.contextMenu);
        ScriptedServer s(camerasServer(threeCameras()));
        writeServers(dir.path(), {{"Alpha", s.port(), true, c.wall ? 1 : 0}}, 1);
        start();
        TouchImage* view = c.wall ? app->window()->cameraWall()->cell(c.saved)->imageView()
                                  : app->window()->mainImage();
        ASSERT_TRUE(waitUntil([&] {
            return app->window()->savePictureAction()->isEnabled() && view->hasSavablePicture();
        }));
        if (c.contextMenu) {
            QMouseEvent right(QEvent::MouseButtonPress, {10, 10}, {10, 10}, Qt::RightButton,
                              Qt::RightButton, {});
            view->menuForEvent(right)->actions().last()->trigger();
        } else {
            app->window()->savePictureAction()->trigger();
        }
        ASSERT_TRUE(waitUntil([&] { return !view->noteText().isEmpty(); }));
        ASSERT_EQ(saved().size(), 1);
        QFile file(folder().filePath(saved().first()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QImage picture = QImage::fromData(bytes);
        EXPECT_EQ(cameraOfPicture(picture), c.saved);
        EXPECT_EQ(bytes.toStdString(), jpegOf(picture.size(), cameraColour(c.saved))) << "as sent";
        EXPECT_EQ(view->noteText(), "Saved to " + file.fileName());
        quit();
        folder().removeRecursively();
    }
}

TEST_F(SavePicture, TheItemWaitsForAPictureOfTheCameraShown) {
    ScriptedServer s(camerasServer(threeCameras()));
    writeServers(dir.path(), {{"Alpha", s.port(), true}}, 1);
    start();
    ASSERT_TRUE(waitUntil([&] { return app->window()->savePictureAction()->isEnabled(); }));
    QTest::keyClick(app->window()->mainImage(), Qt::Key_Right);  // to camera 2, whose pictures fail
    EXPECT_FALSE(app->window()->savePictureAction()->isEnabled())
        << "camera 1's picture is not camera 2's";
    ASSERT_TRUE(waitUntil([&] { return countOf(s, "/x?") >= 2; }));
    EXPECT_FALSE(app->window()->savePictureAction()->isEnabled()) << "a failed picture is none";
    app->window()->savePictureAction()->trigger();
    spinFor(200);
    EXPECT_TRUE(saved().isEmpty());
}
