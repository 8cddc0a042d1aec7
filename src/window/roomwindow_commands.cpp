// SPDX-License-Identifier: GPL-3.0-or-later
// Another window's commands: the same menus and keys as the main window's,
// each acting on what this window shows.

#include "roomwindow.h"

#include "activitylistwindow.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "phonelist.h"
#include "previewtouchimage.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "serverfeeds.h"
#include "settings.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewerhost.h"
#include "wallpages.h"
#include "windowpanel.h"
#include "zvtexts.h"

#include <QActionGroup>
#include <QMenu>
#include <QSlider>
#include <QWidgetAction>

namespace {

// The camera at k of server, or none.
const CameraView* cameraOf(const LayoutMode::Camera& camera) {
    const auto cameras = camera.server ? camera.server->getCameras() : nullptr;
    if (!cameras || camera.index < 0 || camera.index >= std::ssize(*cameras)) return nullptr;
    return cameras->at(static_cast<size_t>(camera.index)).get();
}

// Empties menu; its items go once the command that may have chosen one of
// them has returned.
void clearSoon(QMenu* menu) {
    for (QAction* item : menu->actions()) {
        menu->removeAction(item);
        item->deleteLater();
    }
}

}  // namespace

void RoomWindow::connectCommands() {
    Ui::ZVMainWindow& ui = *ui_;
    // The shortcuts work while full screen hides the menu bar.
    addActions({ui.actionSavePicture, ui.actionReload, ui.actionPreferences, ui.actionQuit,
                ui.actionCameraWall, ui.actionNextPage, ui.actionPreviousPage, ui.actionLiveVideo,
                ui.actionFullScreen});
    connect(ui.actionSavePicture, &QAction::triggered, this,
            [this] { host_->savePicture(pictureToSave()); });
    connect(ui.actionReload, &QAction::triggered, this, [this] {
        for (const QString& id : room_->mode()->serverIds())
            if (const auto server = host_->hub()->server(id)) host_->hub()->feeds()->reload(server);
    });
    connect(ui.actionPreferences, &QAction::triggered, this, [this] { host_->editServerList(); });
    connect(preferencesAction(), &QAction::triggered, this,
            [this] { host_->editPreferences(this); });
    connect(ui.actionQuit, &QAction::triggered, this, [this] { host_->quit(); });
    liveFigures_ = new QAction(zvText("Show Picture Rate"), ui.menuViewer);
    liveFigures_->setCheckable(true);
    ui.menuViewer->insertAction(ui.actionPreferences, liveFigures_);
    connect(liveFigures_, &QAction::toggled, this, [this] { updateActions(); });

    // Sound: Listen and the volume, as in the main window.
    connect(ui.actionSound, &QAction::triggered, this, &RoomWindow::listen);
    volume_ = new QSlider(Qt::Horizontal);
    volume_->setToolTip(zvText("Volume"));
    volume_->setMinimumWidth(140);
    volume_->setRange(0, 100);
    auto* volumeAction = new QWidgetAction(ui.soundMenu);
    volumeAction->setDefaultWidget(volume_);
    ui.soundMenu->addAction(volumeAction);
    connect(ui.soundMenu, &QMenu::aboutToShow, this,
            [this] { volume_->setValue(host_->volume()); });
    connect(volume_, &QSlider::valueChanged, this, [this](int v) { host_->setVolume(v); });

    // The servers and cameras menus, fresh as they open (and kept filled:
    // the cameras menu is every cell's context menu too).
    connect(ui.serversMenu, &QMenu::aboutToShow, this, &RoomWindow::fillServersMenu);
    connect(ui.camerasMenu, &QMenu::aboutToShow, this, &RoomWindow::fillCamerasMenu);

    camerasOnPage_ = RoomMenus::addCamerasOnPage(ui.camerasOnPageMenu, this,
                                                 [this](int n) { setCamerasOnPage(n); });
    connect(ui.actionCameraWall, &QAction::triggered, this, &RoomWindow::setWallShown);
    connect(ui.actionNextPage, &QAction::triggered, this, [this] { turnPage(true); });
    connect(ui.actionPreviousPage, &QAction::triggered, this, [this] { turnPage(false); });
    connect(ui.actionLiveVideo, &QAction::triggered, this, [this](bool on) {
        if (const auto server = shownServer()) LiveVideo::setOn(*server, on);
        room_->followLiveVideo();
    });
    connect(ui.actionFullScreen, &QAction::triggered, this,
            [this] { setFullScreen(!fullScreen_); });

    // A camera chosen in the panel or the activity list is shown alone.
    const auto showAlone = [this](const CameraRef& ref) {
        const auto server = host_->hub()->server(ref.serverId);
        const auto cameras = server ? server->getCameras() : nullptr;
        const int k = cameras ? findCamera(*cameras, ref) : -1;
        if (k >= 0) showCameraAlone(server, k);
    };
    connect(panel_, &WindowPanel::cameraActivated, this, showAlone);
    connect(menus_.activityList, &QAction::triggered, this, [this, showAlone] {
        ActivityListWindow::open(this, host_->hub()->activityLog(), showAlone);
    });
    connect(menus_.saveLayout, &QAction::triggered, this, [this] {
        const QString name = host_->saveLayout(this, room_->mode()->currentLayout(), room_->name());
        if (!name.isEmpty()) {
            before_.reset();
            room_->showLayout(name);
        }
    });
    connect(menus_.editLayouts, &QAction::triggered, this, [this] {
        host_->editLayouts(this,
                           room_->shows() == RoomScreen::Shows::Layout ? room_->name() : QString());
    });
    connect(menus_.clearCell, &QAction::triggered, this,
            [this] { room_->setCell(room_->mode()->selected(), std::nullopt); });
    connect(menus_.tour.toggle, &QAction::triggered, this, [this] {
        if (room_->isTouring()) {
            lastTour_ = room_->name();
            room_->stopTourOnStep();
            return;
        }
        QString name = lastTour_;
        if (!host_->hub()->room().tour(name) && !host_->hub()->room().tours.empty())
            name = host_->hub()->room().tours.front().name;
        before_.reset();
        room_->startTour(name);
    });
    connect(menus_.newWindow, &QAction::triggered, this, [this] { host_->openWindow(); });
}

void RoomWindow::rebuildMenus() {
    const QString layout = room_->shows() == RoomScreen::Shows::Layout ? room_->name() : QString();
    const QString tour = room_->isTouring() ? room_->name() : QString();
    const ControlRoom& room = host_->hub()->room();
    RoomMenus::fillLayouts(menus_.layouts, room, layout, [this](const QString& name) {
        before_.reset();
        room_->showLayout(name);
    });
    RoomMenus::addShortcutsTo(this, menus_.layouts);
    RoomMenus::fillTours(menus_.tours, room, tour, [this](const QString& name) {
        before_.reset();
        room_->startTour(name);
    });
    fillServersMenu();
    // The cameras menu is every cell's context menu too.
    fillCamerasMenu();
    updateActions();
}

void RoomWindow::fillServersMenu() {
    QMenu* menu = ui_->serversMenu;
    clearSoon(menu);
    const auto shown = shownServer();
    for (const auto& server : host_->hub()->settings().getServers()) {
        QAction* item = menu->addAction(QString(server->name()).replace('&', "&&"));
        item->setCheckable(true);
        item->setChecked(server == shown);
        connect(item, &QAction::triggered, this, [this, id = server->serverId()] {
            if (const auto s = host_->hub()->server(id)) showServer(s);
        });
    }
}

void RoomWindow::fillCamerasMenu() {
    QMenu* menu = ui_->camerasMenu;
    clearSoon(menu);
    const auto server = shownServer();
    const auto cameras = server ? server->getCameras() : nullptr;
    if (!cameras) return;
    const LayoutMode::Camera selected = room_->selectedCamera();
    for (std::size_t i = 0; i < cameras->size(); ++i) {
        QAction* item = menu->addAction(QString(cameras->at(i)->cameraName).replace('&', "&&"));
        item->setCheckable(true);
        item->setChecked(selected.server == server &&
                         selected.index == static_cast<std::int64_t>(i));
        connect(item, &QAction::triggered, this, [this, id = server->serverId(), i] {
            if (const auto s = host_->hub()->server(id))
                showCameraAlone(s, static_cast<std::int64_t>(i));
        });
    }
}

std::shared_ptr<CamServer> RoomWindow::shownServer() const {
    const auto shows = room_->shows();
    if (shows == RoomScreen::Shows::WallPage) return host_->hub()->server(room_->source().serverId);
    const LayoutMode::Camera selected = room_->selectedCamera();
    if (selected.server) return selected.server;
    if (shows == RoomScreen::Shows::Camera && !room_->source().layout.cells.empty() &&
        room_->source().layout.cells.front())
        return host_->hub()->server(room_->source().layout.cells.front()->serverId);
    return nullptr;
}

void RoomWindow::showServer(const std::shared_ptr<CamServer>& server) {
    before_.reset();
    host_->hub()->feeds()->need(server);
    // As the server is set: its wall, or one camera (the first until its
    // list has come).
    if (server->previewRegim == 1) {
        room_->showWallPage(server->serverId(), 0);
        return;
    }
    const auto cameras = server->getCameras();
    const auto ref = cameras ? CameraRef::to(server->serverId(), *cameras, 0) : std::nullopt;
    room_->showCamera(ref ? *ref : CameraRef{server->serverId(), {}, {}, 0});
}

void RoomWindow::showCameraAlone(const std::shared_ptr<CamServer>& server, std::int64_t k) {
    const auto cameras = server ? server->getCameras() : nullptr;
    const auto ref = cameras ? CameraRef::to(server->serverId(), *cameras, k) : std::nullopt;
    if (!ref) return;
    if (room_->shows() != RoomScreen::Shows::Camera) before_ = state();
    room_->showCamera(*ref);
}

void RoomWindow::setWallShown(bool on) {
    const auto server = shownServer();
    if (!server) {
        ui_->actionCameraWall->setChecked(room_->shows() == RoomScreen::Shows::WallPage);
        return;
    }
    before_.reset();
    // The camera seen, or the server's first.
    const LayoutMode::Camera selected = room_->selectedCamera();
    const std::int64_t k =
        selected.server == server ? std::max<std::int64_t>(selected.index, 0) : 0;
    const auto cameras = server->getCameras();
    if (on) {
        // The page that holds it.
        const WallPages pages(cameras ? std::ssize(*cameras) : 0, server->camOnPage);
        room_->showWallPage(server->serverId(), static_cast<int>(pages.pageOf(k)));
    } else {
        const auto ref = cameras ? CameraRef::to(server->serverId(), *cameras, k) : std::nullopt;
        room_->showCamera(ref ? *ref : CameraRef{server->serverId(), {}, {}, 0});
    }
}

void RoomWindow::turnPage(bool forward) {
    if (room_->shows() != RoomScreen::Shows::WallPage) return;
    const auto server = host_->hub()->server(room_->source().serverId);
    const auto cameras = server ? server->getCameras() : nullptr;
    if (!cameras) return;
    const WallPages pages(std::ssize(*cameras), server->camOnPage);
    const std::int64_t count = pages.pageCount();
    // Around all pages as a ring, as the main window's wall turns.
    const std::int64_t page = (room_->source().page + (forward ? 1 : count - 1)) % count;
    room_->showWallPage(server->serverId(), static_cast<int>(page));
}

void RoomWindow::setCamerasOnPage(int n) {
    const auto server = shownServer();
    if (!server) return;
    server->camOnPage = n;
    host_->hub()->settings().saveSoon();
    if (room_->shows() == RoomScreen::Shows::WallPage)
        room_->showWallPage(server->serverId(), 0);
    else
        setWallShown(true);
}

TouchImage* RoomWindow::pictureToSave() const {
    CameraWall* wall = room_->wall();
    const int cell = wall->selectedCell();
    return cell >= 0 && cell < wall->cellCount() ? wall->cell(cell)->imageView() : nullptr;
}

void RoomWindow::updateActions() {
    Ui::ZVMainWindow& ui = *ui_;
    const auto shows = room_->shows();
    const auto server = shownServer();
    const TouchImage* picture = pictureToSave();
    ui.actionSavePicture->setEnabled(picture && picture->hasSavablePicture());
    ui.actionCameraWall->setEnabled(server != nullptr);
    ui.actionCameraWall->setChecked(shows == RoomScreen::Shows::WallPage);
    ui.camerasOnPageMenu->setEnabled(server != nullptr);
    if (server)
        for (QAction* item : camerasOnPage_->actions())
            item->setChecked(item->text().toLongLong() == WallPages::cellsFor(server->camOnPage));
    // Page keys belong to the tour while it runs, to the wall on a wall.
    ui.actionNextPage->setEnabled(shows == RoomScreen::Shows::WallPage);
    ui.actionPreviousPage->setEnabled(shows == RoomScreen::Shows::WallPage);
    ui.actionLiveVideo->setEnabled(server != nullptr);
    ui.actionLiveVideo->setChecked(server && LiveVideo::isOn(*server));
    menus_.clearCell->setEnabled(shows == RoomScreen::Shows::Layout &&
                                 room_->mode()->selected() >= 0);
    menus_.tour.update(room_->isTouring(), room_->isTourPaused(),
                       !host_->hub()->room().tours.empty());
    // Listen, for a camera with a microphone.
    const LayoutMode::Camera selected = room_->selectedCamera();
    const CameraView* camera = cameraOf(selected);
    const bool microphone = camera && selected.server->getMicrophone(camera);
    ui.soundMenu->menuAction()->setEnabled(microphone || ui.actionSound->isChecked());
    ui.actionSound->setEnabled(microphone || ui.actionSound->isChecked());
    for (TouchImage* view : room_->findChildren<TouchImage*>())
        view->freshness().setShowStats(liveFigures_->isChecked());
}

void RoomWindow::listen(bool on) {
    if (!on) {
        heard_ = {};
        host_->stopListening(this);
        return;
    }
    const LayoutMode::Camera selected = room_->selectedCamera();
    if (!host_->listen(this, selected.server, selected.index)) {
        ui_->actionSound->setChecked(false);
        return;
    }
    heard_ = selected;
}

void RoomWindow::followSound() {
    // Another camera selected or shown ends the sound of the one left.
    const LayoutMode::Camera selected = room_->selectedCamera();
    if (!ui_->actionSound->isChecked() ||
        (selected.server == heard_.server && selected.index == heard_.index))
        return;
    ui_->actionSound->setChecked(false);
    listen(false);
}

void RoomWindow::soundTaken() {
    heard_ = {};
    ui_->actionSound->setChecked(false);
}

void RoomWindow::resumeSound() {
    if (ui_->actionSound->isChecked()) listen(true);
}
