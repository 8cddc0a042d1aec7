// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

#include <QImage>
#include <QSize>
#include <QString>

#include "wallloader.h"

class CamServer;
class PictureBudget;

// Fetches the pictures of a page of one server's cameras at once (the
// camera wall). One thread drives one libcurl multi handle for all of them:
// each camera's request runs on a connection of its own, kept alive between
// its requests, so no camera ever queues behind another's. Answers are
// decoded at the asked size on a small pool of decode threads and handed to
// the main thread.
//
// Requests carry the same address checks, credentials and headers as the
// data manager's picture request. Made, called and destroyed on the main
// thread; the destructor aborts every transfer and joins the threads at
// once, and no done runs after it.
class WallFetcher : public WallLoader {
public:
    struct Options {
        long requestTimeoutMs = 25000;       // the data manager's request timeout
        size_t maxPictureBytes = 32u << 20;  // a longer answer is a failed picture
        int decodeThreads = 2;
        // What every wall's answers may hold at once, shared by all cells
        // (not owned; none: the walls' shared one). It may lower the cap
        // above.
        PictureBudget* budget = nullptr;
    };

    explicit WallFetcher(std::shared_ptr<CamServer> server);
    WallFetcher(std::shared_ptr<CamServer> server, Options options);
    ~WallFetcher() override;
    WallFetcher(const WallFetcher&) = delete;
    WallFetcher& operator=(const WallFetcher&) = delete;

    void requestPicture(std::int64_t index, const QString& imageUri, QSize pixelSize,
                        std::function<void(const CameraPicture&)> done) override;
    void cancel(std::int64_t index) override;

    const std::shared_ptr<CamServer>& server() const { return server_; }

private:
    struct Engine;
    struct Pending {
        std::uint64_t id;
        std::function<void(const CameraPicture&)> done;
    };
    // On the main thread: the answer of request id for the camera at index.
    void deliver(std::int64_t index, std::uint64_t id, const CameraPicture& picture);

    std::shared_ptr<CamServer> server_;
    std::unordered_map<std::int64_t, Pending> pending_;  // by camera index
    std::uint64_t nextId_ = 1;
    std::unique_ptr<Engine> engine_;  // the curl thread and the decode threads
    // Answers posted to the main thread hold it weakly, so none reaches a
    // destroyed fetcher.
    std::shared_ptr<WallFetcher*> self_;
};
