// SPDX-License-Identifier: GPL-3.0-or-later
#include "roomscreen.h"

#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "pointerhider.h"
#include "previewtouchimage.h"
#include "roomedits.h"
#include "screensaverinhibitor.h"
#include "serverfeeds.h"
#include "settings.h"
#include "touchview.h"
#include "tournote.h"
#include "tourschedule.h"
#include "videobudget.h"
#include "viewtitles.h"
#include "zvtexts.h"

#include <QStackedLayout>

#include <algorithm>

RoomScreen::RoomScreen(ControlRoomHub* hub, QWidget* parent)
    : QWidget(parent),
      hub_(hub),
      stack_(new QStackedLayout(this)),
      pointer_(new PointerHider(this, this)),
      screenSaver_(new ScreenSaverInhibitor(this)),
      tourNote_(new TourNote(this)) {
    stack_->setContentsMargins(0, 0, 0, 0);
    // Both walls keep the size of the screen, so the one behind asks for
    // its pictures at the size they will be shown at.
    stack_->setStackingMode(QStackedLayout::StackOne);
    for (Side& side : sides_) {
        side.wall = new CameraWall(this);
        stack_->addWidget(side.wall);
        side.mode = std::make_unique<LayoutMode>(
            side.wall, hub_->feeds(), [hub]() -> const std::vector<std::shared_ptr<CamServer>>& {
                return hub->settings().getServers();
            });
        connectWall(side);
    }
    stack_->setCurrentWidget(front().wall);
    tourTimer_.setSingleShot(true);
    tourTimer_.setTimerType(Qt::PreciseTimer);
    connect(&tourTimer_, &QTimer::timeout, this, &RoomScreen::runTour);
    connect(hub_, &ControlRoomHub::renamed, this, &RoomScreen::followRenames);
    connect(hub_, &ControlRoomHub::roomChanged, this, &RoomScreen::roomChanged);
    connect(this, &RoomScreen::changed, this, &RoomScreen::updateKiosk);
    // Each step, pause and resume shows the note in full again.
    tourNoteTimer_.setSingleShot(true);
    connect(&tourNoteTimer_, &QTimer::timeout, this, &RoomScreen::updateTourNote);
    connect(this, &RoomScreen::changed, this, [this] {
        tourNoteClock_.start();
        updateTourNote();
    });
    connect(hub_, &ControlRoomHub::serversChanged, this, [this] {
        for (Side& side : sides_) side.mode->refresh();
        // A server's lists came again (or the server list changed): cameras
        // may have moved or gone, and a video its server ended is tried
        // again, its lists being its answer.
        followVideo();
    });
    // After the walls' own rest (connected before): a held server's cells
    // rest before its video's cell takes back its stills.
    connect(hub_->feeds(), &ServerFeeds::holdsChanged, this, &RoomScreen::followVideo);
    // Anything else shown ends the videos of cells that no longer play
    // before the event loop could bring them another frame.
    connect(this, &RoomScreen::changed, this, &RoomScreen::followVideo);
    // Another window's cells took or gave back decodes.
    connect(hub_->videoBudget(), &VideoBudget::changed, this, &RoomScreen::playGranted);
    // Cells change size with the window: their claim to a decode with them.
    videoFollow_.setSingleShot(true);
    videoFollow_.setInterval(100);
    connect(&videoFollow_, &QTimer::timeout, this, &RoomScreen::followVideo);
}

RoomScreen::~RoomScreen() {
    active_.reset();  // its hidden views are children
    disconnect(hub_->videoBudget(), nullptr, this, nullptr);
    hub_->videoBudget()->withdraw(this);
    videos_.clear();
    setTourInputWatch(false);
    for (Side& side : sides_) side.mode.reset();
}

void RoomScreen::connectWall(Side& side) {
    CameraWall* wall = side.wall;
    LayoutMode* mode = side.mode.get();
    connect(wall, &CameraWall::cellPressed, this, [this, mode](int cell) {
        if (mode->selected() == cell) return;
        mode->setSelected(cell);
        emit changed();
    });
    connect(wall, &CameraWall::cellActivated, this, [this, mode](int cell) {
        const LayoutMode::Camera camera = mode->cameraAt(cell);
        if (camera.server) emit cameraActivated(camera.server, camera.index);
    });
    connect(wall, &CameraWall::arrowKey, this, [this, mode](int key) {
        // A camera alone steps through its server's cameras, as the
        // one-camera view does; a grid moves its selection.
        if (shows_ == Shows::Camera && (key == Qt::Key_Left || key == Qt::Key_Right))
            stepCamera(key == Qt::Key_Right);
        else if (mode->moveSelection(key))
            emit changed();
    });
    connect(wall, &CameraWall::pageStep, this, [this](bool forward) {
        if (shows_ == Shows::Camera) stepCamera(forward);
    });
    connect(wall, &CameraWall::escapePressed, this, &RoomScreen::escapePressed);
    connect(wall, &CameraWall::fullScreenKey, this, &RoomScreen::fullScreenKey);
}

CameraWall* RoomScreen::wall() const {
    return front().wall;
}

LayoutMode* RoomScreen::mode() const {
    return front().mode.get();
}

const LayoutMode::Source& RoomScreen::source() const {
    return front().mode->source();
}

void RoomScreen::stepCamera(bool forward) {
    const LayoutMode::Camera shown = selectedCamera();
    const auto cameras = shown.server ? shown.server->getCameras() : nullptr;
    if (!cameras || cameras->empty()) return;
    const auto count = std::ssize(*cameras);
    const std::int64_t next = (shown.index + (forward ? 1 : count - 1)) % count;
    if (const auto ref = CameraRef::to(shown.server->serverId(), *cameras, next)) showCamera(*ref);
}

LayoutMode::Camera RoomScreen::selectedCamera() const {
    return front().mode->cameraAt(front().mode->selected());
}

void RoomScreen::showSource(const LayoutMode::Source& source) {
    front().mode->show(source);
    back().mode->stop();
    prefetched_.reset();
    emit changed();
}

bool RoomScreen::showLayout(const QString& name) {
    const Layout* layout = hub_->room().layout(name);
    if (!layout) return false;
    stopTour();
    shows_ = Shows::Layout;
    name_ = name;
    showSource({LayoutMode::Source::Kind::Layout, *layout, {}, 0});
    return true;
}

void RoomScreen::showWallPage(const QString& serverId, int page) {
    stopTour();
    shows_ = Shows::WallPage;
    name_.clear();
    showSource({LayoutMode::Source::Kind::WallPage, {}, serverId, page});
}

void RoomScreen::showCamera(const CameraRef& camera) {
    stopTour();
    shows_ = Shows::Camera;
    name_.clear();
    Layout one;
    one.resize(1, 1);
    one.setCell(0, 0, camera);
    showSource({LayoutMode::Source::Kind::Layout, one, {}, 0});
    front().mode->setSelected(0);
    followVideo();
}

void RoomScreen::clear() {
    stopTour();
    shows_ = Shows::Nothing;
    name_.clear();
    for (Side& side : sides_) side.mode->stop();
    emit changed();
    updateKiosk();
}

void RoomScreen::describe(WindowState& state) const {
    state.serverId.clear();
    state.camera = {};
    state.name.clear();
    const LayoutMode::Source& shown = source();
    switch (shows_) {
        case Shows::Layout:
            state.shows = WindowState::Shows::Layout;
            state.name = name_;
            break;
        case Shows::Tour:
            state.shows = WindowState::Shows::Tour;
            state.name = name_;
            break;
        case Shows::WallPage:
            state.shows = WindowState::Shows::ServerWall;
            state.serverId = shown.serverId;
            break;
        case Shows::Camera:
        case Shows::Nothing:
            state.shows = WindowState::Shows::Camera;
            if (shown.layout.cells.size() == 1 && shown.layout.cells.front()) {
                state.camera = *shown.layout.cells.front();
                state.serverId = state.camera.serverId;
            }
            break;
    }
}

QString RoomScreen::title() const {
    const LayoutMode::Source& shown = source();
    switch (shows_) {
        case Shows::Layout:
            return name_;
        case Shows::Tour:
            if (!schedule_) return name_;
            return ViewTitles::tour(name_, stepName(schedule_->current()), schedule_->current(),
                                    tour_.steps.size());
        case Shows::WallPage: {
            const auto server = hub_->server(shown.serverId);
            return server ? ViewTitles::wall(server->name()) : QString();
        }
        case Shows::Camera:
        case Shows::Nothing:
            break;
    }
    // The camera as its server's list names it now; the reference's name
    // until the list has come.
    const LayoutMode::Camera camera = front().mode->cameraAt(0);
    if (camera.server) {
        const auto cameras = camera.server->getCameras();
        if (cameras && camera.index >= 0 && camera.index < std::ssize(*cameras))
            return ViewTitles::camera(cameras->at(static_cast<size_t>(camera.index))->cameraName,
                                      camera.server->name());
    }
    if (shown.layout.cells.size() == 1 && shown.layout.cells.front()) {
        const CameraRef& ref = *shown.layout.cells.front();
        if (const auto server = hub_->server(ref.serverId))
            return ViewTitles::camera(ref.cameraName, server->name());
    }
    return QString();
}

void RoomScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (tourNote_->isVisible()) tourNote_->place();
    videoFollow_.start();
}

void RoomScreen::setResting(bool resting) {
    resting_ = resting;
    for (Side& side : sides_) side.mode->setResting(resting);
    for (auto& [cell, v] : videos_) v.video->setResting(resting);
    followHiddenCameras();
    updateKiosk();
}

void RoomScreen::setWindowFullScreen(bool on) {
    windowFullScreen_ = on;
    updateKiosk();
}

bool RoomScreen::holdsScreenSaver() const {
    return screenSaver_->isWanted();
}

void RoomScreen::updateKiosk() {
    const bool full = isVisible() && windowFullScreen_;
    pointer_->setEnabled(full && (shows_ == Shows::Layout || shows_ == Shows::Tour));
    screenSaver_->setInhibited(full && shows_ != Shows::Nothing && !resting_);
}

void RoomScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    followHiddenCameras();
    updateKiosk();
}

void RoomScreen::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    followHiddenCameras();
    updateKiosk();
}

void RoomScreen::showNote(const QString& text) {
    if (front().wall->cellCount() > 0) front().wall->cell(0)->imageView()->showNote(text);
}

void RoomScreen::followRenames(const roomedits::Renames& renames) {
    const auto renamed = [](const std::map<QString, QString>& names, QString& name) {
        if (const auto it = names.find(name); it != names.end()) name = it->second;
    };
    if (shows_ == Shows::Layout) renamed(renames.layouts, name_);
    history_.rename(renames.layouts);
    if (shows_ != Shows::Tour) return;
    renamed(renames.tours, name_);
    // The tour running takes the new names too, so that a rename alone
    // does not start it again from its first step.
    tour_.name = name_;
    for (TourStep& step : tour_.steps)
        if (step.kind == TourStep::Kind::Layout) renamed(renames.layouts, step.layoutName);
}

void RoomScreen::roomChanged() {
    if (shows_ == Shows::Layout) {
        const Layout* layout = hub_->room().layout(name_);
        if (!layout) {
            const QString note = zvText("Layout “%1” was deleted").arg(name_);
            clear();
            emit shownDeleted(note);
            return;
        }
        history_.keepOnly(hub_->room().layouts);
        LayoutMode::Source source{LayoutMode::Source::Kind::Layout, *layout, {}, 0};
        if (!(source == front().mode->source())) {
            // Every change of its cells seen here can be taken back.
            if (!steppingHistory_) history_.record(front().mode->source().layout, *layout);
            front().mode->show(source);
            emit changed();
        }
    } else if (shows_ == Shows::Tour) {
        const Tour* tour = hub_->room().tour(name_);
        if (!tour) {
            const QString note = zvText("Tour “%1” was deleted").arg(name_);
            stopTour();
            clear();
            emit shownDeleted(note);
        } else if (!(*tour == tour_)) {
            startTour(name_);
        } else if (schedule_) {
            // The same steps, but a step's layout may have been edited: the
            // step on screen shows it as it is now, and the one fetched
            // ahead is fetched anew.
            const LayoutMode::Source shown = sourceOfStep(schedule_->current());
            if (!(shown == front().mode->source())) {
                front().mode->show(shown);
                emit changed();
            }
            if (prefetched_ && !(sourceOfStep(*prefetched_) == back().mode->source()))
                prefetch(*prefetched_);
        }
    }
}
