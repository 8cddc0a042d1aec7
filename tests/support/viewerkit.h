// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one way the application tests run the viewer: in-process (offscreen),
// in a temporary settings folder written through the store itself, against
// scripted servers on loopback whose camera k sends pictures of colour k at
// the asked size. Header-only, for the suites that link the viewer (the
// application, sound and keyring-absent suites).

#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

#include "apptestaccess.h"
#include "camserver.h"
#include "layout.h"
#include "scriptedserver.h"
#include "settings.h"
#include "testutil.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"

// Presses the button of every modal alert that appears (unless held), and
// records the texts and the most alerts ever open at once.
class AlertCatcher {
public:
    AlertCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            int open = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                open += qobject_cast<QMessageBox*>(w) && w->isVisible();
            maxOpen = std::max(maxOpen, open);
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (hold || !box) return;
            texts.push_back(box->text());
            if (!box->buttons().isEmpty()) box->buttons().first()->click();
        });
        timer_.start();
    }
    bool hold = false;
    int maxOpen = 0;
    std::vector<QString> texts;

private:
    QTimer timer_;
};

// Camera k's pictures are of colour k (of five); cameraOfPicture() tells
// whose a picture is from its centre, -1 for none.
inline QColor cameraColour(int k) {
    static const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};
    return colours[k % 5];
}
inline int cameraOfPicture(const QImage& picture) {
    const QRgb c = picture.isNull() ? 0 : picture.pixel(picture.rect().center());
    for (int k = 0; k < 5 && c; ++k) {
        const QRgb r = cameraColour(k).rgb();
        const int apart = std::abs(qRed(c) - qRed(r)) + std::abs(qGreen(c) - qGreen(r));
        if (apart + std::abs(qBlue(c) - qBlue(r)) < 150) return k;
    }
    return -1;
}

// A camera list document of the given names; camera k has "/c/k" paths.
inline std::string camerasDoc(const std::vector<std::string>& names) {
    std::string doc = "[";
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string n = std::to_string(k);
        doc += (k ? "," : "") + std::string(R"({"name":")") + names[k] + R"(","uri":"/c/)" + n +
               R"(","image-uri":"/c/)" + n + R"(/image"})";
    }
    return doc + "]";
}
inline const std::string kThree = camerasDoc({"Gate", "Yard", "Roof"});
// The microphone of camera 1.
inline const std::string kYardMic =
    R"([{"name":"Yard mic","camera-uri":"/c/1","audio-uri":"/m/0.mp3"}])";

// Answers the lists, and for "/c/k/image" a JPEG of camera k's colour at the
// asked size.
inline ScriptedServer::Script camerasServer(std::string cameras = kThree,
                                            std::string microphones = kYardMic) {
    return [=](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json(microphones);
        if (r.target == "/cameras") return ScriptedServer::json(cameras);
        int k = -1, w = 0, h = 0;
        if (std::sscanf(r.target.c_str(), "/c/%d/image?resolution=%dx%d", &k, &w, &h) != 3)
            return ScriptedServer::json("", 404);
        return ScriptedServer::json(jpegOf({std::max(w, 1), std::max(h, 1)}, cameraColour(k)));
    };
}

// Requests whose target holds part; picturesOf counts the picture requests.
inline size_t countOf(const ScriptedServer& s, const std::string& part) {
    size_t n = 0;
    for (const auto& r : s.requests()) n += r.target.find(part) != std::string::npos;
    return n;
}
inline size_t picturesOf(const ScriptedServer& s) {
    return countOf(s, "resolution=");
}

// A server's entry for writeServers; previewRegim 1: the camera wall.
// clang-format off
struct ServerEntry { QString name; int port; bool selected = false; std::int32_t previewRegim = 0; std::int64_t camOnPage = 4; };
// clang-format on

// A settings folder holding exactly these servers and the camera index.
inline void writeServers(const QString& folder, const std::vector<ServerEntry>& entries,
                         std::int64_t cameraIdx = 0) {
    auto settings = Settings::createInFolder(folder, "en");
    while (!settings->getServers().empty()) settings->deleteServer(settings->getServers().front());
    for (const ServerEntry& entry : entries) {
        auto server = CamServer::create();
        server->setName(entry.name);
        server->setHost("127.0.0.1");
        server->setPort(QString::number(entry.port));
        server->isSelected = entry.selected;
        server->previewRegim = entry.previewRegim;
        server->camOnPage = entry.camOnPage;
        settings->updateServer(server);
    }
    settings->setCameraIdx(cameraIdx);
    settings->save();
}

// The names of a store's servers.
inline QStringList namesOf(const Settings& store) {
    QStringList names;
    for (const auto& s : store.getServers()) names << s->name();
    return names;
}

// The titles of a menu's items, and the positions of those checked.
inline QStringList titles(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->property("title").toString();
    return out;
}
inline std::vector<int> checkedItems(QMenu* menu) {
    std::vector<int> on;
    for (int i = 0; i < menu->actions().size(); ++i)
        if (menu->actions()[i]->isChecked()) on.push_back(i);
    return on;
}

// The layout "Lobby": one row of columns cells, the last showing camera 2
// ("Roof") of the server serverId, the others empty.
inline Layout lobbyLayout(const QString& serverId, int columns) {
    Layout lobby;
    lobby.name = "Lobby";
    lobby.resize(1, columns);
    lobby.setCell(0, columns - 1, CameraRef{serverId, "/c/2", "Roof", 2});
    return lobby;
}

// A pictures folder of the test's own, through the XDG user folders file
// that QStandardPaths reads, for as long as it lives.
class OwnPicturesFolder {
public:
    OwnPicturesFolder() : old_(qgetenv("XDG_CONFIG_HOME")) {
        writeAt(config_.filePath("user-dirs.dirs"),
                "XDG_PICTURES_DIR=\"" + pictures_.path().toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }
    ~OwnPicturesFolder() { qputenv("XDG_CONFIG_HOME", old_); }
    QString path() const { return pictures_.path(); }

private:
    QTemporaryDir config_, pictures_;
    QByteArray old_;
};

class ViewerFixture : public ::testing::Test {
protected:
    // Makes the viewer; configure() may adjust it before start-up.
    void start(const std::function<void(ZorvanMacAppDelegate&)>& configure = {}) {
        settings = Settings::createInFolder(dir.path(), "en");
        app = std::make_unique<ZorvanMacAppDelegate>(*settings);
        if (configure) configure(*app);
        app->applicationDidFinishLaunching();
    }
    void quit() {
        app->applicationWillTerminate();
        app.reset();
    }
    void TearDown() override {
        if (app) quit();
    }
    // What the settings file holds now.
    std::unique_ptr<Settings> onDisk() { return Settings::createInFolder(dir.path(), "en"); }
    bool waitForPictureOf(int k) {
        return waitUntil(
            [&] { return cameraOfPicture(app->window()->mainImage()->picture()) == k % 5; });
    }
    bool soundAvailable() { return app->window()->soundMenu()->menuAction()->isEnabled(); }

    QTemporaryDir dir;
    // Presses every alert's button; a test that wants an alert left up drops it.
    std::unique_ptr<AlertCatcher> alerts = std::make_unique<AlertCatcher>();
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ZorvanMacAppDelegate> app;
};
