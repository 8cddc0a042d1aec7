// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallmode.h"

#include "camerawall.h"
#include "previewtouchimage.h"
#include "touchview.h"
#include "viewtitles.h"
#include "wallfetcher.h"
#include "wallrefresh.h"

WallMode::WallMode(CameraWall* wall) : wall_(wall) {}

WallMode::~WallMode() {
    stop();
}

void WallMode::stop() {
    refresh_.reset();
    fetcher_.reset();
    server_.reset();
    shownList_.reset();
    firstShown_ = -1;
}

void WallMode::clear(const CamServer* server) {
    stop();
    selected_ = -1;
    pages_ = WallPages(0, server ? server->camOnPage : WallPages::kDefaultCells);
    wall_->setGrid(pages_.cells(), pages_.columns());
    fillCells(nullptr, 0);
    wall_->setSelectedCell(-1);
}

void WallMode::show(const std::shared_ptr<CamServer>& server, std::int64_t selected) {
    if (!server) return;
    if (server != server_) {
        stop();
        server_ = server;
        fetcher_ = std::make_unique<WallFetcher>(server);
        refresh_ = std::make_unique<WallRefresh>(server, fetcher_.get());
        refresh_->setResting(resting_);
    }
    const std::shared_ptr<const CameraList> cameras = server->getCameras();
    const auto count = static_cast<std::int64_t>(cameras ? cameras->size() : 0);
    const int cellsBefore = wall_->cellCount();
    pages_ = WallPages(count, server->camOnPage);
    if (pages_.cells() != cellsBefore || pages_.columns() != wall_->columns()) {
        // The cells are made anew: none of the old ones may get a picture.
        refresh_->showPage({});
        wall_->setGrid(pages_.cells(), pages_.columns());
    }
    selected_ = selected >= 0 && selected < count ? selected : -1;
    const std::int64_t first = pages_.firstOf(pages_.pageOf(selected_));
    // The same cameras in the same cells keep their pictures and requests.
    if (cameras != shownList_ || first != firstShown_ || cellsBefore != wall_->cellCount()) {
        shownList_ = cameras;
        firstShown_ = first;
        fillCells(cameras.get(), 1000 / CamServer::refreshRate(server->fps()));
        std::vector<WallRefresh::Cell> cells;
        for (int i = 0; i < wall_->cellCount(); ++i) {
            const std::int64_t k = cameraAt(i);
            if (k >= 0) cells.push_back({k, wall_->cell(i)->imageView()});
        }
        refresh_->showPage(std::move(cells));
    }
    wall_->setSelectedCell(selected_ >= 0 ? static_cast<int>(selected_ - first) : -1);
}

void WallMode::fillCells(const CameraList* cameras, int refreshMs) {
    for (int i = 0; i < wall_->cellCount(); ++i) {
        TouchView* cell = wall_->cell(i);
        PreviewTouchImage* image = cell->imageView();
        const std::int64_t k = cameras ? cameraAt(i) : -1;
        if (k < 0) {
            cell->setDelegate(nullptr);
            image->setCaption(QString());
            image->clearPicture();
            continue;
        }
        CameraView* camera = cameras->at(static_cast<size_t>(k)).get();
        cell->setDelegate(camera);
        image->setCaption(ViewTitles::wallCaption(
            camera->cameraName, server_ ? server_->name() : QString(), namesServer_ ? 2 : 1));
        // A new camera's picture and age start afresh; the same one keeps them.
        image->setDelegate(camera);
        image->freshness().setRefreshIntervalMs(refreshMs);
    }
}

std::int64_t WallMode::cameraAt(int cell) const {
    if (firstShown_ < 0 || cell < 0 || cell >= wall_->cellCount()) return -1;
    const std::int64_t k = firstShown_ + cell;
    return k < pages_.cameras() ? k : -1;
}

void WallMode::setNamesServer(bool on) {
    namesServer_ = on;
    // Also after a rename of the server, whose cells stay as they are.
    const CameraList* cameras = shownList_.get();
    for (int i = 0; i < wall_->cellCount(); ++i) {
        const std::int64_t k = cameras ? cameraAt(i) : -1;
        if (k < 0 || k >= std::ssize(*cameras)) continue;
        wall_->cell(i)->imageView()->setCaption(
            ViewTitles::wallCaption(cameras->at(static_cast<size_t>(k))->cameraName,
                                    server_ ? server_->name() : QString(), namesServer_ ? 2 : 1));
    }
}

void WallMode::setResting(bool resting) {
    resting_ = resting;
    if (refresh_) refresh_->setResting(resting);
}
