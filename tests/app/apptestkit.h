#pragma once

// Shared pieces of the application tests: a settings folder, a scripted
// video server that answers lists and pictures, and an alert catcher.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camserver.h"
#include "scriptedserver.h"
#include "settings.h"

// Presses the button of every modal alert that appears (unless held), and
// records texts and the most alerts ever open at once.
class AlertCatcher {
public:
    AlertCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            int open = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++open;
            maxOpen = std::max(maxOpen, open);
            if (hold) return;
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            texts.push_back(box->text());
            const auto buttons = box->buttons();
            buttons_.push_back(buttons.size() == 1 ? buttons.first()->text() : QStringLiteral("?"));
            icons_.push_back(box->icon());
            if (!buttons.isEmpty()) buttons.first()->click();
        });
        timer_.start();
    }
    bool hold = false;
    int maxOpen = 0;
    std::vector<QString> texts;
    std::vector<QString> buttons_;
    std::vector<QMessageBox::Icon> icons_;

private:
    QTimer timer_;
};

inline std::string jpegOf(int w, int h, QColor colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 80);
    return bytes.toStdString();
}

// Three cameras; the microphone belongs to camera 1.
inline const char* kCamerasDoc =
    R"([{"name":"Gate","uri":"/c/0","image-uri":"/c/0/image"},)"
    R"({"name":"Yard","uri":"/c/1","image-uri":"/c/1/image"},)"
    R"({"name":"Roof","uri":"/c/2","image-uri":"/c/2/image","ptz":{}}])";
inline const char* kMicrophonesDoc =
    R"([{"name":"Yard mic","camera-uri":"/c/1","audio-uri":"/m/0.mp3"}])";

// Answers the lists, and pictures at the asked size.
inline ScriptedServer::Script videoServer() {
    return [](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json(kMicrophonesDoc);
        if (r.target == "/cameras") return ScriptedServer::json(kCamerasDoc);
        const auto q = r.target.find("resolution=");
        if (q != std::string::npos) {
            int w = 0, h = 0;
            std::sscanf(r.target.c_str() + q, "resolution=%dx%d", &w, &h);
            ScriptedServer::Reply reply =
                ScriptedServer::json(jpegOf(std::max(w, 1), std::max(h, 1), Qt::darkGreen));
            reply.contentType = "image/jpeg";
            return reply;
        }
        return ScriptedServer::json("", 404);
    };
}

// A settings folder holding one server at host:port with the given camera
// index; written through the store itself, as the viewer would.
inline void writeSettings(const QString& folder, int port, std::int64_t cameraIdx,
                          bool withServer = true) {
    auto settings = Settings::createInFolder(folder, "en");
    auto demo = settings->getCurrent();
    if (withServer) {
        demo->setName("Local");
        demo->setPort(QString::number(port));
    } else {
        settings->deleteServer(demo);
    }
    settings->setCameraIdx(cameraIdx);
    settings->save();
}
