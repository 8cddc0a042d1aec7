// Save Picture in the whole viewer (offscreen) against a scripted server on
// loopback: the file holds the bytes the server sent, for the one camera
// and for a wall cell, from the menu and from the picture's context menu;
// the item waits for a picture. Names and the writing itself are
// PictureFile's rules.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

#include "camerawall.h"
#include "menutestkit.h"
#include "previewtouchimage.h"
#include "touchview.h"
#include "viewerfixture.h"

namespace {

// Camera k's picture in format, as a server would send it.
std::string pictureOf(int k, const char* format) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(cameraColour(k));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// Three cameras C0..C2; camera k answers served[k] unless it is refused.
ScriptedServer::Script fixedPictures(std::vector<std::string> served,
                                     std::shared_ptr<std::atomic<int>> refused = nullptr) {
    return [served, refused, lists = camerasServer(camerasDoc({"C0", "C1", "C2"}))](
               const ScriptedServer::Request& r) {
        int k = -1;
        if (std::sscanf(r.target.c_str(), "/c/%d/image", &k) != 1) return lists(r);
        if (k < 0 || k >= 3 || (refused && *refused == k)) return ScriptedServer::json("", 404);
        ScriptedServer::Reply reply = ScriptedServer::json(served[static_cast<size_t>(k)]);
        reply.contentType = served[0].rfind("\x89PNG", 0) == 0 ? "image/png" : "image/jpeg";
        return reply;
    };
}

class SavePicture : public ViewerFixture {
protected:
    void SetUp() override {
        // A pictures folder of this test's own, named in the XDG user
        // folders file that the viewer's QStandardPaths reads.
        QFile dirs(config.filePath("user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"" + pictures.path().toUtf8() + "\"\n");
        dirs.close();
        oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                  pictures.path());
    }
    void TearDown() override {
        ViewerFixture::TearDown();
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QDir folder() const { return QDir(pictures.path() + "/Zorvan"); }
    QStringList saved() const { return folder().entryList(QDir::Files, QDir::Name); }
    QByteArray bytesOf(const QString& name) const {
        QFile f(folder().filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }
    // Chooses Save Picture from view's context menu.
    static void saveFromContextMenu(TouchImage* view) {
        QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10),
                          view->mapToGlobal(QPointF(10, 10)), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QMenu* menu = view->menuForEvent(right);
        ASSERT_TRUE(menu && !menu->isEmpty());
        ASSERT_TRUE(menu->actions().last()->isEnabled());
        menu->actions().last()->trigger();
    }

    QTemporaryDir config, pictures;
    QByteArray oldConfig;
};

}  // namespace

TEST_F(SavePicture, TheFileHoldsTheBytesTheServerSent) {
    struct Case {
        const char* format;
        bool wall;
        bool contextMenu;
        int saved;  // the camera whose picture is saved; camera 1 is the one shown or selected
        const char* extension;
    } cases[] = {
        {"JPG", false, false, 1, ".jpg"},
        {"PNG", false, true, 1, ".png"},
        {"PNG", true, false, 1, ".png"},
        {"JPG", true, true, 2, ".jpg"},  // a cell not selected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.wall ? " wall" : " one camera") +
                     (c.contextMenu ? " context menu" : " menu"));
        const std::vector<std::string> served = {pictureOf(0, c.format), pictureOf(1, c.format),
                                                 pictureOf(2, c.format)};
        ScriptedServer s(fixedPictures(served));
        writeServers(dir.path(), {{"Alpha", s.port(), true}}, 1);
        {
            auto store = Settings::createInFolder(dir.path(), "en");
            store->getCurrent()->previewRegim = c.wall ? 1 : 0;
            store->save();
        }
        start();
        TouchImage* view =
            c.wall ? app->cameraWall()->cell(c.saved)->imageView() : app->mainImage();
        ASSERT_TRUE(waitUntil([&] { return app->savePictureAction()->isEnabled(); }));
        ASSERT_TRUE(waitUntil([&] { return view->hasSavablePicture(); }));
        if (c.contextMenu) {
            saveFromContextMenu(view);
        } else {
            app->savePictureAction()->trigger();
        }
        ASSERT_TRUE(waitUntil([&] { return !view->noteText().isEmpty(); }));
        ASSERT_EQ(saved().size(), 1);
        const QString name = saved().first();
        EXPECT_EQ(bytesOf(name).toStdString(), served[static_cast<size_t>(c.saved)]);
        EXPECT_TRUE(name.startsWith(QString("C%1 ").arg(c.saved))) << name.toStdString();
        EXPECT_TRUE(name.endsWith(c.extension)) << name.toStdString();
        EXPECT_EQ(view->noteText(), "Saved to " + folder().filePath(name));
        quit();
        folder().removeRecursively();
    }
}

TEST_F(SavePicture, TheItemWaitsForAPictureOfTheCameraShown) {
    auto refused = std::make_shared<std::atomic<int>>(1);
    ScriptedServer s(
        fixedPictures({pictureOf(0, "JPG"), pictureOf(1, "JPG"), pictureOf(2, "JPG")}, refused));
    writeServers(dir.path(), {{"Alpha", s.port(), true}}, 1);
    start();
    EXPECT_FALSE(app->savePictureAction()->isEnabled()) << "before any picture";
    ASSERT_TRUE(waitUntil([&] { return picturesOf(s) >= 2; }));
    EXPECT_FALSE(app->savePictureAction()->isEnabled()) << "camera 1's pictures fail";
    *refused = 2;
    ASSERT_TRUE(waitUntil([&] { return app->savePictureAction()->isEnabled(); }));
    QTest::keyClick(app->mainImage(), Qt::Key_Right);  // to camera 2, whose pictures fail
    EXPECT_FALSE(app->savePictureAction()->isEnabled()) << "camera 1's picture is not camera 2's";
    app->savePictureAction()->trigger();
    spinFor(200);
    EXPECT_TRUE(saved().isEmpty());
}
