// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's control room: the Layouts menu, the tours,
// the camera panel, the other windows and their screens, and the command
// line that names what to show.

#include "zorvanmacappdelegate.h"

#include "alertqueue.h"
#include "camerawall.h"
#include "camserver.h"
#include "commandline.h"
#include "controlroomhub.h"
#include "layoutseditor.h"
#include "layoutsfile.h"
#include "livevideo.h"
#include "previewtouchimage.h"
#include "reconnector.h"
#include "restwhilehidden.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "screenkeeper.h"
#include "serverfeeds.h"
#include "settings.h"
#include "soundstatusline.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "wallmode.h"
#include "windowpanel.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace {

// A name not yet among names: base, or base with a number after it.
template <typename Entries>
QString freeName(const Entries& entries, const QString& base) {
    auto taken = [&](const QString& n) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const auto& e) { return e.name == n; });
    };
    if (!taken(base)) return base;
    for (int i = 2;; ++i)
        if (!taken(QString("%1 %2").arg(base).arg(i))) return QString("%1 %2").arg(base).arg(i);
}

}  // namespace

void ZorvanMacAppDelegate::createRoom() {
    window_->installEventFilter(this);
    hub_ =
        std::make_unique<ControlRoomHub>(settings_, QFileInfo(settings_.pathToDataFile()).path());
    screens_ = std::make_unique<ScreenKeeper>();
    Ui::ZVMainWindow& ui = window_->ui();
    room_ = new RoomScreen(hub_.get(), ui.centralWidget);
    ui.centralLayout->addWidget(room_);
    room_->setVisible(false);

    // The camera panel, and the menus every window adds to its menu bar.
    panel_ = new WindowPanel(window_.get(), hub_.get());
    connect(panel_, &WindowPanel::cameraActivated, this, [this](const CameraRef& ref) {
        const auto server = hub_->server(ref.serverId);
        const auto cameras = server ? server->getCameras() : nullptr;
        const int k = cameras ? findCamera(*cameras, ref) : -1;
        if (k >= 0) showCameraFromRoom(server, k);
    });
    const RoomMenus::WindowMenus menus =
        RoomMenus::addWindowMenus(window_.get(), ui.viewMenu, panel_->action(), room_, false);
    layoutsMenu_ = menus.layouts;
    toursMenu_ = menus.tours;
    tourActions_ = menus.tour;
    saveLayoutAction_ = menus.saveLayout;
    editLayoutsAction_ = menus.editLayouts;
    clearCellAction_ = menus.clearCell;
    connect(saveLayoutAction_, &QAction::triggered, this, &ZorvanMacAppDelegate::saveWallAsLayout);
    connect(editLayoutsAction_, &QAction::triggered, this, [this] {
        editLayouts(window_.get(), roomShown_ && room_->shows() == RoomScreen::Shows::Layout
                                       ? room_->name()
                                       : QString());
    });
    connect(clearCellAction_, &QAction::triggered, this, [this] {
        if (roomShown_) room_->setCell(room_->mode()->selected(), std::nullopt);
    });
    connect(tourActions_.toggle, &QAction::triggered, this, &ZorvanMacAppDelegate::toggleTour);
    connect(menus.newWindow, &QAction::triggered, this, [this] { newWindow(); });

    // The room's walls take dropped cameras and swapped cells, in a layout.
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) {
        wall->setCamerasMenu(ui.camerasMenu);
        wall->setSaveAction(savePictureAction());
        connect(wall, &CameraWall::cameraDropped, this,
                [this](int cell, const CameraRef& ref) { room_->setCell(cell, ref); });
        connect(wall, &CameraWall::cellsSwapped, room_, &RoomScreen::swapCells);
        connect(wall, &CameraWall::saveRequested, this, [this, wall](int cell) {
            if (cell >= 0 && cell < wall->cellCount()) savePicture(wall->cell(cell)->imageView());
        });
        connect(wall, &CameraWall::selectedPictureChanged, this,
                &ZorvanMacAppDelegate::updateSaveAction);
    }
    connect(room_, &RoomScreen::cameraActivated, this, &ZorvanMacAppDelegate::showCameraFromRoom);
    connect(room_, &RoomScreen::shownDeleted, this,
            [this](const QString& note) { leaveDeleted(nullptr, note); });
    connect(room_, &RoomScreen::changed, this, [this] {
        updateRoomActions();
        updateSaveAction();
        if (roomShown_) {
            const LayoutMode::Camera selected = room_->selectedCamera();
            const auto cameras = selected.server ? selected.server->getCameras() : nullptr;
            applySoundAvailability(selected.server.get(),
                                   cameras && selected.index >= 0
                                       ? cameras->at(static_cast<size_t>(selected.index)).get()
                                       : nullptr);
        }
        followShown();
        storeWindows();
    });
    connect(room_, &RoomScreen::fullScreenKey, this, [this] { mainImage()->toggleFullScreen(); });
    connect(mainImage(), &TouchImage::fullScreenChanged, room_, &RoomScreen::setWindowFullScreen);
    room_->setWindowFullScreen(mainImage()->inFullScreen());
    connect(room_, &RoomScreen::escapePressed, this, [this] {
        if (mainImage()->inFullScreen()) mainImage()->setFullScreen(false);
    });
    // Ctrl+T starts the last tour under its new name.
    connect(hub_.get(), &ControlRoomHub::renamed, this, [this](const roomedits::Renames& renames) {
        if (const auto it = renames.tours.find(lastTour_); it != renames.tours.end())
            lastTour_ = it->second;
    });
    // A server's lists or the server list change the names shown.
    connect(hub_.get(), &ControlRoomHub::serversChanged, this, &ZorvanMacAppDelegate::followShown);
    connect(hub_.get(), &ControlRoomHub::roomChanged, this, [this] {
        rebuildRoomMenus();
        storeWindows();
    });
    rebuildRoomMenus();
}

void ZorvanMacAppDelegate::rebuildRoomMenus() {
    const QString layout =
        roomShown_ && room_->shows() == RoomScreen::Shows::Layout ? room_->name() : QString();
    RoomMenus::fillLayouts(layoutsMenu_, hub_->room(), layout,
                           [this](const QString& name) { showLayout(name); });
    RoomMenus::addShortcutsTo(window_.get(), layoutsMenu_);
    RoomMenus::fillTours(toursMenu_, hub_->room(), room_->isTouring() ? room_->name() : QString(),
                         [this](const QString& name) { startTour(name); });
    updateRoomActions();
}

void ZorvanMacAppDelegate::updateRoomActions() {
    const bool touring = roomShown_ && room_->isTouring();
    tourActions_.update(touring, room_->isTourPaused(), !hub_->room().tours.empty());
    clearCellAction_->setEnabled(roomShown_ && room_->shows() == RoomScreen::Shows::Layout &&
                                 room_->mode()->selected() >= 0);
    const bool layoutOn = roomShown_ && room_->shows() == RoomScreen::Shows::Layout;
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) wall->setCellDragging(layoutOn);
    // Page keys belong to the tour while it runs.
    Ui::ZVMainWindow& ui = window_->ui();
    if (roomShown_) {
        ui.actionNextPage->setEnabled(false);
        ui.actionPreviousPage->setEnabled(false);
    }
}

void ZorvanMacAppDelegate::setRoomShown(bool on) {
    Ui::ZVMainWindow& ui = window_->ui();
    roomShown_ = on;
    if (on) {
        openedFromRoom_ = false;
        openedFromWall_ = false;
        stopPictureProbe();
        live_->stop();
        if (const auto current = settings_.getCurrent()) rest_->stopVideo(*current);
        wall_->stop();
        ui.mainImage->setVisible(false);
        ui.cameraWall->setVisible(false);
        ui.actionCameraWall->setChecked(false);
        rest_->setOneCameraShown(false);
        room_->setVisible(true);
        room_->setResting(rest_->resting());
        room_->wall()->setFocus();
    } else {
        room_->setVisible(false);
    }
    updateRoomActions();
    updateSaveAction();
    followShown();
}

bool ZorvanMacAppDelegate::showLayout(const QString& name) {
    if (!hub_->room().layout(name)) return false;
    stopSoundForSwitch();
    setRoomShown(true);
    room_->showLayout(name);
    rebuildRoomMenus();
    return true;
}

bool ZorvanMacAppDelegate::startTour(const QString& name) {
    const Tour* tour = hub_->room().tour(name);
    if (!tour || tour->steps.empty()) return false;
    stopSoundForSwitch();
    setRoomShown(true);
    lastTour_ = name;
    room_->startTour(name);
    rebuildRoomMenus();
    return true;
}

void ZorvanMacAppDelegate::toggleTour() {
    if (roomShown_ && room_->isTouring()) {
        lastTour_ = room_->name();
        room_->stopTourOnStep();
        rebuildRoomMenus();
        return;
    }
    QString name = lastTour_;
    if (!hub_->room().tour(name) && !hub_->room().tours.empty())
        name = hub_->room().tours.front().name;
    startTour(name);
}

void ZorvanMacAppDelegate::leaveRoom() {
    if (!roomShown_ && !openedFromRoom_) return;
    openedFromRoom_ = false;
    room_->clear();
    setRoomShown(false);
    rebuildRoomMenus();
    const auto server = settings_.getCurrent();
    setWallShown(isWallOn(server.get()));
    const auto cameras = server ? server->getCameras() : nullptr;
    if (server && cameras && !cameras->empty()) {
        const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
        showCamera(*server, k < cameras->size() ? static_cast<std::int64_t>(k) : 0);
    }
    storeWindows();
}

void ZorvanMacAppDelegate::showCameraFromRoom(const std::shared_ptr<CamServer>& server,
                                              std::int64_t index) {
    // A server the server list holds is asked nothing until its close.
    if (!server || isHeld(server.get())) return;
    reconnector_->cancel();
    stopSoundForSwitch();
    // The layout rests behind the camera, so that Escape brings it back at once.
    const bool fromRoom = roomShown_;
    if (fromRoom) {
        room_->setResting(true);
        room_->setVisible(false);
        roomShown_ = false;
    }
    openedFromRoom_ = fromRoom;
    if (settings_.getCurrent() != server) {
        if (const auto current = settings_.getCurrent()) current->stopVideo();
        settings_.setCurrent(server);
        bindServer(server);
        for (QAction* item : serversMenu()->actions())
            item->setChecked(item->property("title").toString() == server->name());
    }
    settings_.setCameraIdx(index);
    settings_.saveSoon();
    wall_->stop();
    setWallShown(false);
    checkCamerasOnPage(server.get());
    followLiveVideo(server.get());
    updateRoomActions();
    // The lists come anew; the camera is shown when they arrive.
    dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::backToRoom() {
    openedFromRoom_ = false;
    setRoomShown(true);
    room_->setResting(rest_->resting());
    rebuildRoomMenus();
}

void ZorvanMacAppDelegate::saveWallAsLayout() {
    Layout layout;
    if (roomShown_) {
        layout = room_->mode()->currentLayout();
    } else {
        const auto server = settings_.getCurrent();
        const auto cameras = server ? server->getCameras() : nullptr;
        if (!server || !cameras) return;
        if (wall_->server() == server) {
            const WallPages& pages = wall_->pages();
            layout.resize(pages.rows(), pages.columns());
            for (int i = 0; i < pages.rows() * pages.columns(); ++i) {
                const std::int64_t k = wall_->cameraAt(i);
                layout.cells[static_cast<size_t>(i)] =
                    k >= 0 ? CameraRef::to(server->serverId(), *cameras, k) : std::nullopt;
            }
        } else {
            layout.resize(1, 1);
            const auto k = static_cast<std::int64_t>(settings_.cameraIdx());
            layout.cells[0] = CameraRef::to(server->serverId(), *cameras, k);
        }
    }
    const QString name =
        saveLayout(window_.get(), std::move(layout), roomShown_ ? room_->name() : QString());
    if (!name.isEmpty()) showLayout(name);
}

QString ZorvanMacAppDelegate::saveLayout(QWidget* window, Layout layout, const QString& suggested) {
    bool ok = false;
    const QString name =
        QInputDialog::getText(
            window, zvText("Save Wall as Layout"), zvText("Name of the layout:"), QLineEdit::Normal,
            freeName(hub_->room().layouts, suggested.isEmpty() ? zvText("Layout") : suggested), &ok)
            .trimmed();
    if (!ok || name.isEmpty()) return QString();
    layout.name = name;
    hub_->edit([&](ControlRoom& room) {
        // A layout of the same name is replaced: the person chose its name.
        auto it = std::find_if(room.layouts.begin(), room.layouts.end(),
                               [&](const Layout& l) { return l.name == name; });
        if (it != room.layouts.end()) {
            *it = layout;
        } else if (room.layouts.size() < ControlRoom::kMaxEntries) {
            room.layouts.push_back(layout);
        }
    });
    return name;
}

void ZorvanMacAppDelegate::editLayouts(QWidget* window, const QString& selected) {
    std::vector<std::pair<QString, QString>> servers;
    for (const auto& server : settings_.getServers())
        servers.emplace_back(server->serverId(), server->name());
    LayoutsEditor editor(hub_->room(), servers, window);
    editor.setWindowTitle(zvText("Edit Layouts"));
    if (!selected.isEmpty()) editor.selectLayout(selected);
    if (editor.exec() != QDialog::Accepted) return;
    const ControlRoom edited = editor.room();
    // The windows follow what they show by the renames; their kept states
    // are written anew from what they then show.
    hub_->edit(
        [&](ControlRoom& room) {
            room.layouts = edited.layouts;
            room.tours = edited.tours;
        },
        editor.renames());
}
