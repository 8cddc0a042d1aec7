#pragma once

// Pieces of the menu and server-list tests: servers whose cameras each send
// pictures of their own colour, a count of picture requests in flight, and
// settings folders holding several servers.

#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apptestkit.h"
#include "camserver.h"
#include "scriptedserver.h"
#include "settings.h"

// Camera k's pictures are of colour k.
inline QColor cameraColour(int k) {
    static const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};
    return colours[k % 5];
}

// The camera whose colour the picture's centre is nearest to; -1 for none.
inline int cameraOfPicture(const QImage& picture) {
    if (picture.isNull()) return -1;
    const QColor c = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    int best = -1, bestDistance = 1 << 30;
    for (int k = 0; k < 5; ++k) {
        const QColor r = cameraColour(k);
        const int d = std::abs(c.red() - r.red()) + std::abs(c.green() - r.green()) +
                      std::abs(c.blue() - r.blue());
        if (d < bestDistance) bestDistance = d, best = k;
    }
    return best;
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

// Picture requests in flight at a server, and the most seen at once.
struct InFlight {
    std::atomic<int> now{0};
    std::atomic<int> most{0};
};

// Answers the lists, and for "/c/k/image" a picture of camera k's colour at
// the asked size, after delayMs.
inline ScriptedServer::Script camerasServer(std::string cameras, std::string microphones = "[]",
                                            int delayMs = 0,
                                            std::shared_ptr<InFlight> inFlight = nullptr) {
    return [=](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json(microphones);
        if (r.target == "/cameras") return ScriptedServer::json(cameras);
        int k = -1, w = 0, h = 0;
        if (std::sscanf(r.target.c_str(), "/c/%d/image?resolution=%dx%d", &k, &w, &h) != 3)
            return ScriptedServer::json("", 404);
        if (inFlight) {
            const int n = ++inFlight->now;
            int most = inFlight->most;
            while (n > most && !inFlight->most.compare_exchange_weak(most, n)) {
            }
        }
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        if (inFlight) --inFlight->now;
        ScriptedServer::Reply reply = ScriptedServer::json(
            jpegOf(std::clamp(w, 1, 64), std::clamp(h, 1, 64), cameraColour(k)));
        reply.contentType = "image/jpeg";
        return reply;
    };
}

struct ServerEntry {
    QString name;
    int port;
    bool selected = false;
    QString host = QStringLiteral("127.0.0.1");
};

// A settings folder holding exactly these servers and the
// camera index, written through the store itself.
inline void writeServers(const QString& folder, const std::vector<ServerEntry>& entries,
                         std::int64_t cameraIdx) {
    auto settings = Settings::createInFolder(folder, "en");
    while (!settings->getServers().empty()) settings->deleteServer(settings->getServers().front());
    for (const ServerEntry& entry : entries) {
        auto server = CamServer::create();
        server->setName(entry.name);
        server->setHost(entry.host);
        server->setPort(QString::number(entry.port));
        server->setLogin("admin");
        server->setFps("8");
        server->isSelected = entry.selected;
        settings->updateServer(server);
    }
    settings->setCameraIdx(cameraIdx);
    settings->save();
}

// The names of the servers in the settings file, read back from disk.
inline QStringList namesInFile(const QString& folder) {
    QStringList names;
    const auto store = Settings::createInFolder(folder, "en");
    for (const auto& s : store->getServers()) names << s->name();
    return names;
}

inline size_t picturesOf(const ScriptedServer& server) {
    size_t n = 0;
    for (const auto& r : server.requests()) n += r.target.find("resolution=") != std::string::npos;
    return n;
}
