// SPDX-License-Identifier: GPL-3.0-or-later
#include "layoutmode.h"

#include "camerawall.h"
#include "camserver.h"
#include "previewtouchimage.h"
#include "serverfeeds.h"
#include "touchview.h"
#include "viewtitles.h"
#include "wallfetcher.h"
#include "wallpages.h"
#include "wallrefresh.h"

#include <QCoreApplication>

#include <algorithm>
#include <set>

// One server's share of the wall: its own fetcher (its thread, its
// connections, its credentials) and the refresh of its cells.
struct LayoutMode::Runner {
    QString serverId;
    std::shared_ptr<CamServer> server;
    std::unique_ptr<WallFetcher> fetcher;
    std::unique_ptr<WallRefresh> refresh;  // uses fetcher: ended first

    ~Runner() {
        refresh.reset();
        fetcher.reset();
    }
};

LayoutMode::LayoutMode(CameraWall* wall, ServerFeeds* feeds, ServerList servers)
    : wall_(wall), feeds_(feeds), servers_(std::move(servers)) {
    // Directly: a server is held before its record changes, and its cells
    // must rest before their next tick could read the new values.
    if (feeds_)
        holdWatch_ = QObject::connect(feeds_, &ServerFeeds::holdsChanged, [this] { applyRest(); });
}

LayoutMode::~LayoutMode() {
    QObject::disconnect(holdWatch_);
    runners_.clear();
}

QString LayoutMode::serverRemovedText() {
    return QCoreApplication::translate("Zorvan", "Server removed");
}

QString LayoutMode::cameraNotFoundText(const CameraRef& ref) {
    QString name = ref.cameraName;
    if (name.isEmpty()) name = ref.cameraUri;
    if (name.isEmpty()) name = QString("#%1").arg(ref.position + 1);
    return QCoreApplication::translate("Zorvan", "Camera not found: %1").arg(name);
}

std::shared_ptr<CamServer> LayoutMode::serverById(const QString& id) const {
    if (id.isEmpty()) return nullptr;
    for (const auto& server : servers_())
        if (server->serverId() == id) return server;
    return nullptr;
}

Layout LayoutMode::resolveLayout() const {
    if (source_.kind == Source::Kind::Layout) {
        Layout layout = source_.layout;
        for (std::size_t i = 0; i < inCells_.size() && i < layout.cells.size(); ++i)
            layout.cells[i] = inCells_[i];
        return layout;
    }
    Layout layout;
    layout.name = QString();
    if (source_.kind != Source::Kind::WallPage) {
        layout.resize(1, 1);
        layout.setCell(0, 0, std::nullopt);
        return layout;
    }
    const auto server = serverById(source_.serverId);
    const auto cameras = server ? server->getCameras() : nullptr;
    const std::int64_t count = cameras ? static_cast<std::int64_t>(cameras->size()) : 0;
    const WallPages pages(count, server ? server->camOnPage : WallPages::kDefaultCells);
    layout.rows = Layout::kMinSide;
    layout.columns = Layout::kMinSide;
    layout.cells.assign(1, std::nullopt);
    layout.resize(pages.rows(), pages.columns());
    const std::int64_t page = std::clamp<std::int64_t>(source_.page, 0, pages.pageCount() - 1);
    const std::int64_t first = pages.firstOf(std::max<std::int64_t>(page, 0));
    for (int i = 0; i < layout.rows * layout.columns; ++i) {
        if (!cameras || first + i >= count) break;
        layout.cells[static_cast<size_t>(i)] = CameraRef::to(source_.serverId, *cameras, first + i);
    }
    return layout;
}

Layout LayoutMode::currentLayout() const {
    return resolveLayout();
}

void LayoutMode::show(const Source& source) {
    if (source.kind != source_.kind || source.serverId != source_.serverId) selected_ = -1;
    if (!(source == source_)) stillsResting_.clear();
    if (source.kind != Source::Kind::Layout || !source.layout.active ||
        source.layout.name != source_.layout.name)
        inCells_.clear();
    source_ = source;
    fill();
}

void LayoutMode::refresh() {
    if (isShowing()) fill();
}

void LayoutMode::stop() {
    runners_.clear();
    source_ = {};
    shown_ = {};
    cellCamera_.clear();
    selected_ = -1;
    stillsResting_.clear();
    inCells_.clear();
    for (int i = 0; i < wall_->cellCount(); ++i) {
        TouchView* cell = wall_->cell(i);
        cell->setDelegate(nullptr);
        cell->imageView()->setCaption(QString());
        cell->imageView()->clearPicture();
        wall_->setCellNote(i, QString());
    }
    wall_->setSelectedCell(-1);
}

void LayoutMode::fill() {
    Layout layout = resolveLayout();
    const int cells = layout.cellCount();
    layout.cells.resize(static_cast<size_t>(cells));
    const std::vector<CellRect> rects = layout.cellRects();
    if (rects != wall_->cellRects() || layout.columns != wall_->columns()) {
        // The cells are made anew: none of the old ones may get a picture.
        for (auto& [id, runner] : runners_) runner->refresh->showPage({});
        wall_->setGrid(layout.rows, layout.columns, rects);
    }
    shown_ = layout;
    cellCamera_.assign(static_cast<size_t>(cells), Camera{});

    // Each server's cells on one page refresh: a camera shown in several
    // cells is asked once, at the largest of their sizes, and shown in each.
    std::map<QString, std::vector<WallRefresh::Cell>> pages;
    std::set<QString> used;
    for (int i = 0; i < cells; ++i) {
        TouchView* cell = wall_->cell(i);
        PreviewTouchImage* image = cell->imageView();
        const std::optional<CameraRef>& ref = layout.cells[static_cast<size_t>(i)];
        QString note;
        std::shared_ptr<CamServer> server;
        std::shared_ptr<const CameraList> cameras;
        int index = -1;
        if (ref) {
            server = serverById(ref->serverId);
            if (!server) {
                note = serverRemovedText();
            } else {
                used.insert(ref->serverId);
                if (feeds_) feeds_->need(server);
                cameras = server->getCameras();
                if (!cameras) {
                    note = server->name() + "\n" +
                           ServerFeeds::stateText(feeds_ ? feeds_->state(server.get())
                                                         : ServerFeeds::State::Waiting);
                } else if ((index = findCamera(*cameras, *ref)) < 0) {
                    note = cameraNotFoundText(*ref);
                }
            }
        }
        wall_->setCellNote(i, index < 0 ? note : QString());
        if (index < 0) {
            cell->setDelegate(nullptr);
            image->setCaption(QString());
            image->clearPicture();
            continue;
        }
        CameraView* camera = cameras->at(static_cast<size_t>(index)).get();
        cellCamera_[static_cast<size_t>(i)] = {server, index};
        cell->setDelegate(camera);
        // A layout names each camera's server; a server's wall only where
        // the server list holds more than one.
        image->setCaption(
            source_.kind == Source::Kind::WallPage
                ? ViewTitles::wallCaption(camera->cameraName, server->name(), servers_().size())
                : ViewTitles::camera(camera->cameraName, server->name()));
        // A new camera's picture and age start afresh; the same one keeps them.
        image->setDelegate(camera);
        image->freshness().setRefreshIntervalMs(1000 / CamServer::refreshRate(server->fps()));
        // A cell whose stills rest keeps its server's share (its fetcher
        // stays for when they resume), without asking for the camera.
        std::vector<WallRefresh::Cell>& page = pages[ref->serverId];
        if (!stillsResting_.count(i)) page.push_back({index, image});
    }

    // Servers no longer drawn from get no more requests; each other one
    // refreshes its own cells.
    std::erase_if(runners_, [&](const auto& entry) {
        const bool gone =
            !pages.count(entry.first) || serverById(entry.second->serverId) != entry.second->server;
        return gone;
    });
    for (auto& [id, cellsOfServer] : pages) {
        auto& runner = runners_[id];
        if (!runner) {
            runner = std::make_unique<Runner>();
            runner->serverId = id;
            runner->server = serverById(id);
            // One decode thread a server: a layout drawing from several
            // servers would otherwise run more decoders than there are cores.
            WallFetcher::Options options;
            options.decodeThreads = 1;
            runner->fetcher = std::make_unique<WallFetcher>(runner->server, options);
            runner->refresh = std::make_unique<WallRefresh>(runner->server, runner->fetcher.get());
            runner->refresh->setResting(restsNow(*runner));
        }
        runner->refresh->showPage(std::move(cellsOfServer));
    }
    if (selected_ >= cells) selected_ = -1;
    wall_->setSelectedCell(selected_);
}

void LayoutMode::setResting(bool resting) {
    resting_ = resting;
    applyRest();
}

void LayoutMode::setStillsResting(int cell, bool resting) {
    if (cell < 0 || resting == areStillsResting(cell)) return;
    if (resting)
        stillsResting_.insert(cell);
    else
        stillsResting_.erase(cell);
    // A camera leaving its server's page is asked no more (its request in
    // flight lands nowhere); joining it again, it is asked at once.
    refresh();
}

void LayoutMode::showInCells(std::vector<std::optional<CameraRef>> cameras) {
    if (cameras == inCells_) return;
    inCells_ = std::move(cameras);
    refresh();
}

bool LayoutMode::restsNow(const Runner& runner) const {
    // A server removed by the server list rests until the next fill drops
    // its cells.
    return resting_ || (feeds_ && feeds_->isHeld(runner.server.get())) ||
           serverById(runner.serverId) != runner.server;
}

void LayoutMode::applyRest() {
    for (auto& [id, runner] : runners_) runner->refresh->setResting(restsNow(*runner));
}

LayoutMode::Camera LayoutMode::cameraAt(int cell) const {
    if (cell < 0 || cell >= static_cast<int>(cellCamera_.size())) return {};
    return cellCamera_[static_cast<size_t>(cell)];
}

std::optional<CameraRef> LayoutMode::refAt(int cell) const {
    if (cell < 0 || cell >= static_cast<int>(shown_.cells.size())) return std::nullopt;
    return shown_.cells[static_cast<size_t>(cell)];
}

int LayoutMode::cellCount() const {
    return static_cast<int>(cellCamera_.size());
}

int LayoutMode::columns() const {
    return shown_.columns;
}

void LayoutMode::setSelected(int cell) {
    selected_ = cell >= 0 && cell < cellCount() ? cell : -1;
    wall_->setSelectedCell(selected_);
}

bool LayoutMode::moveSelection(int key) {
    const int n = cellCount();
    if (n == 0) return false;
    if (selected_ < 0) {
        setSelected(0);
        return true;
    }
    // To the cell beside the selected one's edge, nearest its centre.
    const int next = neighbourCell(shown_.cellRects(), selected_, key);
    if (next < 0 || next >= n || next == selected_) return false;
    setSelected(next);
    return true;
}

bool LayoutMode::hasPictureWithin(qint64 withinMs) const {
    for (int i = 0; i < cellCount() && i < wall_->cellCount(); ++i) {
        if (!cellCamera_[static_cast<size_t>(i)].server) continue;
        PreviewTouchImage* image = wall_->cell(i)->imageView();
        if (!image->picture().isNull() && image->freshness().ageMs() < withinMs) return true;
    }
    return false;
}

bool LayoutMode::allServersUnavailable() const {
    const std::vector<QString> ids = serverIds();
    if (ids.empty() || !feeds_) return false;
    return std::all_of(ids.begin(), ids.end(), [&](const QString& id) {
        const auto server = serverById(id);
        return !server || feeds_->state(server.get()) == ServerFeeds::State::Unavailable;
    });
}

std::vector<QString> LayoutMode::serverIds() const {
    std::set<QString> ids;
    for (const auto& ref : shown_.cells)
        if (ref) ids.insert(ref->serverId);
    return {ids.begin(), ids.end()};
}
