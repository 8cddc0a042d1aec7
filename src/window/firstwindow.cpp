// SPDX-License-Identifier: GPL-3.0-or-later
// The first window: its construction, the Servers and Cameras menus over the
// current server, its sound, the probe of the shown camera's server, and its
// title.

#include "firstwindow.h"

#include "activitywatch.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "layoutmode.h"
#include "livevideo.h"
#include "phonelist.h"
#include "previewtouchimage.h"
#include "restwhilehidden.h"
#include "roomscreen.h"
#include "serverfeeds.h"
#include "serverprobe.h"
#include "serverurl.h"
#include "settings.h"
#include "soundstatusline.h"
#include "timedpictureloader.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewtitles.h"
#include "wallmode.h"
#include "zvtexts.h"

#include <QLoggingCategory>
#include <QMenu>
#include <QSlider>
#include <QWidgetAction>

#include <utility>

Q_LOGGING_CATEGORY(lcWindow, "zorvan.window")

namespace {

// Menu items show record names as they are: '&' is not a mnemonic here.
QAction* addRecordItem(QMenu* menu, const QString& title, int tag) {
    QAction* item = menu->addAction(QString(title).replace('&', "&&"));
    item->setCheckable(true);
    item->setProperty("title", title);
    item->setProperty("tag", tag);
    return item;
}

// Items are matched by title: every item of menu titled title is checked and
// handed to fn with its position, in order; every other item is unchecked.
void forEachItemTitled(QMenu* menu, const QString& title,
                       const std::function<void(qsizetype, QAction*)>& fn) {
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        const bool match = item->property("title").toString() == title;
        item->setChecked(match);
        if (match) fn(i, item);
    }
}

}  // namespace

const CameraView* FirstWindow::cameraOf(const LayoutMode::Camera& camera) {
    const auto cameras = camera.server ? camera.server->getCameras() : nullptr;
    if (!cameras || camera.index < 0 || camera.index >= std::ssize(*cameras)) return nullptr;
    return cameras->at(static_cast<size_t>(camera.index)).get();
}

FirstWindow::FirstWindow(FirstWindowHost* host, Settings& settings)
    : host_(host), settings_(settings), ui_(&ui()) {
    rest_ = std::make_unique<RestWhileHidden>(this, [this] { return settings_.getCurrent(); });
    pictureProbe_ = std::make_unique<ServerProbe>();
    connect(pictureProbe_.get(), &ServerProbe::down, this, &FirstWindow::pictureServerDown);
    connect(pictureProbe_.get(), &ServerProbe::back, this, &FirstWindow::pictureServerBack);
    createVolumeSlider();
    connectCommands();
    createPictureCommands();
    createWallCommands();
    createLiveVideo();
    createRoom();
}

FirstWindow::~FirstWindow() {
    end();
    mainImage()->removeEventFilter(this);
}

void FirstWindow::start(PictureLoader* loader) {
    pictureLoader_ = std::make_unique<TimedPictureLoader>(loader, mainImage());
}

void FirstWindow::end() {
    if (std::exchange(ended_, true)) return;
    stopPictureProbe();
    for (const auto& server : settings_.getServers()) server->setPictureFailureListener({});
    rest_->end();
    stopVideo();
    wall_->stop();
    room_->clear();
}

void FirstWindow::release(CamServer& server) {
    server.releaseDataManager(pictureLoader_.get());
}

TouchImage* FirstWindow::mainImage() const {
    return ui_->mainImage;
}
CameraWall* FirstWindow::cameraWall() const {
    return ui_->cameraWall;
}
QMenu* FirstWindow::serversMenu() const {
    return ui_->serversMenu;
}
QMenu* FirstWindow::camerasMenu() const {
    return ui_->camerasMenu;
}
QMenu* FirstWindow::soundMenu() const {
    return ui_->soundMenu;
}
QAction* FirstWindow::savePictureAction() const {
    return ui_->actionSavePicture;
}

bool FirstWindow::isHeld(const CamServer* server) const {
    return server && host_->hub()->feeds()->isHeld(server);
}

void FirstWindow::connectCommands() {
    Ui::ZVMainWindow& ui = *ui_;
    connect(ui.actionReload, &QAction::triggered, this, [this] { host_->loadCurrent(); });
    connect(ui.actionQuit, &QAction::triggered, this, [this] { host_->quit(); });
    connect(ui.actionPreferences, &QAction::triggered, this, [this] { host_->editServerList(); });
    connect(preferencesAction(), &QAction::triggered, this,
            [this] { host_->editPreferences(this); });
    // An item chosen from the menu bar or from the picture's context menu
    // (the same menu) reaches the commands with the item as sender.
    connect(ui.serversMenu, &QMenu::triggered, this, &FirstWindow::changeServer);
    connect(ui.camerasMenu, &QMenu::triggered, this, &FirstWindow::changeCamera);
    connect(ui.mainImage, &TouchImage::cameraChosen, this, &FirstWindow::changeCamera);
    // The toggle has already switched when triggered reports it.
    connect(ui.actionSound, &QAction::triggered, this,
            [this](bool checked) { changeSound(!checked); });
    // The stream's state is shown whenever the toggle is on, whoever turned
    // it, over whatever the window shows: the one camera, the wall or a layout.
    soundStatus_ = new SoundStatusLine(ui.centralWidget, [this] { return host_->soundStatus(); });
    connect(ui.actionSound, &QAction::toggled, soundStatus_, &SoundStatusLine::setActive);
    // Nothing is known about sound before a camera is shown.
    applySoundAvailability(nullptr, nullptr);

    // The live rate and round-trip time over the picture, on request.
    liveFigures_ = new QAction(zvText("Show Picture Rate"), ui.menuViewer);
    liveFigures_->setCheckable(true);
    ui.menuViewer->insertAction(ui.actionPreferences, liveFigures_);
    connect(liveFigures_, &QAction::toggled, this,
            [this](bool on) { mainImage()->freshness().setShowStats(on); });
}

void FirstWindow::fillServersMenu() {
    QMenu* menu = serversMenu();
    menu->clear();
    int n = 0;
    for (const auto& server : settings_.getServers()) addRecordItem(menu, server->name(), n++);
    // Names and the number of servers are in the title and the captions.
    followShown();
    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    if (!current) return;
    const QString name = current->name();
    for (QAction* item : menu->actions())
        item->setChecked(item->property("title").toString() == name);
}

void FirstWindow::bind(const std::shared_ptr<CamServer>& server) {
    stopPictureProbe();
    // The video of the server left (or of the same one, reloaded) ends; the
    // camera shown once the lists arrive opens its own.
    stopVideo();
    server->setPictureFailureListener([this, weak = std::weak_ptr<CamServer>(server)](int n) {
        if (const auto s = weak.lock()) pictureFailed(s, n);
    });
    // A server the server list holds starts no refresh until its close.
    rest_->hold(isHeld(server.get()));
    // Through the timing loader, so the view learns each picture's round trip.
    server->setDataManager(pictureLoader_.get());
}

void FirstWindow::changeServer(QAction* sender) {
    host_->cancelRetries();  // the person's own choice ends the silent retries
    if (!sender) return;
    // A server chosen leaves the layout for that server's own view.
    leaveRoom();
    const QString title = sender->property("title").toString();
    // The index goes to 0 and is written before the current server changes;
    // the new server reaches the file with the next write.
    settings_.setCameraIdx(0);
    settings_.saveSoon();
    forEachItemTitled(serversMenu(), title, [&](qsizetype i, QAction*) {
        // The menu is built from the store's list in order, so its positions
        // are the list's; a menu older than the list must not reach past it.
        const auto& servers = settings_.getServers();
        if (static_cast<size_t>(i) >= servers.size()) return;
        const std::shared_ptr<CamServer> chosen = servers[static_cast<size_t>(i)];
        host_->makeCurrent(chosen);
        followServer(chosen);
        stopSoundForSwitch();
        // Before its list has arrived a server has no first camera, and the
        // sound entries are hidden until it does.
        const auto cameras = chosen->getCameras();
        applySoundAvailability(chosen.get(),
                               cameras && !cameras->empty() ? cameras->front().get() : nullptr);
    });
    // Chosen while the server list edits it, the server is loaded at its
    // close, when its fields are final.
    host_->loadCurrent();
}

void FirstWindow::changeCamera(QAction* sender) {
    stopSoundForSwitch();
    if (!sender) return;
    leaveRoom();
    const QString title = sender->property("title").toString();
    forEachItemTitled(camerasMenu(), title, [&](qsizetype i, QAction* item) {
        settings_.setCameraIdx(i);
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        // The menu may still show another server's cameras (the new one's
        // list has not arrived) or an older list: only a camera that the
        // current server has at the item's position is shown.
        bool ok = false;
        const std::int64_t tag = item->property("tag").toLongLong(&ok);
        const auto cameras = server ? server->getCameras() : nullptr;
        const bool inList =
            ok && cameras && tag >= 0 && static_cast<std::uint64_t>(tag) < cameras->size();
        const CameraView* camera = inList ? cameras->at(static_cast<size_t>(tag)).get() : nullptr;
        applySoundAvailability(server.get(), camera);
        if (inList) {
            showCamera(*server, tag);
        } else if (server) {
            server->stopVideo();
        }
        // Quick steps (a held arrow key) are written together.
        settings_.saveSoon();
    });
}

void FirstWindow::camerasArrived(CamServer& server) {
    const auto cameras = server.getCameras();
    QMenu* menu = camerasMenu();
    menu->clear();
    int n = 0;
    for (const auto& camera : *cameras) addRecordItem(menu, camera->cameraName, n++);
    mainImage()->setCamerasMenu(menu);
    if (cameras->empty()) {
        // A wall of cameras the server no longer has would stay live.
        if (isWallOn(&server)) showWall(server.shared_from_this(), -1);
        return;
    }
    // Compared unsigned, so a negative stored index counts as out of range.
    const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
    if (k < cameras->size()) {
        showCamera(server, static_cast<std::int64_t>(k));
        menu->actions().at(static_cast<qsizetype>(k))->setChecked(true);
        applySoundAvailability(&server, cameras->at(k).get());
    } else {
        // The stored index stays as it is until the user picks a camera.
        showCamera(server, 0);
        menu->actions().at(0)->setChecked(true);
    }
}

void FirstWindow::camerasLost() {
    camerasMenu()->clear();
}

void FirstWindow::serverHeld(const std::shared_ptr<CamServer>& server) {
    if (wall_->server() == server) wall_->setResting(true);
    if (server != settings_.getCurrent()) return;
    stopPictureProbe();
    rest_->hold(true);
    server->stopVideo();
    stopVideo();
}

void FirstWindow::showCamera(CamServer& server, std::int64_t k) {
    stopPictureProbe();
    // Over a layout the lists only refresh the menus.
    if (roomShown_) return;
    if (isWallOn(&server) && !openedFromRoom_) {
        showWall(server.shared_from_this(), k);
        return;
    }
    const auto cameras = server.getCameras();
    // The picture counts as old after a few of this server's intervals.
    mainImage()->freshness().setRefreshIntervalMs(1000 / CamServer::refreshRate(server.fps()));
    cameras->at(static_cast<size_t>(k))->setCamera(mainImage());
    // At once, or when the window can be seen again; the camera's video,
    // where it has one, takes over from its first frame. A server the
    // server list holds (its lists were asked before its first edit) starts
    // neither until the close.
    rest_->videoCameraAtIndex(server, k);
    if (!isHeld(&server)) playVideo(server.shared_from_this(), k);
    followShown();
}

// --- the probe of the shown camera's server ---

void FirstWindow::pictureFailed(const std::shared_ptr<CamServer>& server, int failuresInARow) {
    // One lost picture is no outage; the retries' probe, if running, is enough.
    if (failuresInARow < 2 || isHeld(server.get()) || ended_ || pictureProbe_->isActive() ||
        host_->isRetrying() || server != settings_.getCurrent())
        return;
    const QString host = server->host(), port = server->port();
    if (!ServerUrl::isSafeHost(host) || !ServerUrl::isSafePort(port)) return;
    probed_ = server;
    probedCamera_ = server->currentCameraIndex();
    pictureProbe_->start(host, static_cast<quint16>(port.toUInt()));
}

void FirstWindow::pictureServerDown() {
    // The server takes no connections: no more picture requests until the
    // probe sees it back. (One that takes connections but sends no picture
    // keeps the refresh's own back-off.)
    const auto server = probed_.lock();
    if (!server || server != settings_.getCurrent() || !server->isRefreshing() ||
        server->currentCameraIndex() != probedCamera_) {
        stopPictureProbe();
        return;
    }
    qCInfo(lcWindow) << "Pictures rest until the server takes connections again";
    server->stopVideo();
}

void FirstWindow::pictureServerBack() {
    const auto server = probed_.lock();
    probed_.reset();
    // A wall shown meanwhile asks for its own pictures.
    if (!server || server != settings_.getCurrent() || isHeld(server.get()) || ended_ ||
        roomShown_ || (isWallOn(server.get()) && !openedFromRoom_))
        return;
    // Asks for a picture at once (or when the window can be seen again).
    rest_->videoCameraAtIndex(*server, probedCamera_);
}

void FirstWindow::stopPictureProbe() {
    if (pictureProbe_) pictureProbe_->stop();
    probed_.reset();
}

// --- sound ---

void FirstWindow::createVolumeSlider() {
    // The slider sits in the sound menu right after the sound toggle; the
    // volume is the viewer's, the same in every window.
    audioSlider_ = new QSlider(Qt::Horizontal);
    audioSlider_->setToolTip(zvText("Volume"));
    audioSlider_->setMinimumWidth(140);
    audioSlider_->setRange(0, 100);
    audioSlider_->setValue(host_->volume());
    auto* volumeAction = new QWidgetAction(soundMenu());
    volumeAction->setDefaultWidget(audioSlider_);
    soundMenu()->addAction(volumeAction);
    connect(soundMenu(), &QMenu::aboutToShow, this,
            [this] { audioSlider_->setValue(host_->volume()); });
    connect(audioSlider_, &QSlider::valueChanged, this, [this](int v) { host_->setVolume(v); });
}

bool FirstWindow::startSound() {
    const LayoutMode::Camera heard = soundCamera();
    return host_->listen(this, heard.server, heard.index);
}

void FirstWindow::changeSound(bool wasOn) {
    QAction* toggle = ui_->actionSound;
    const LayoutMode::Camera heard = soundCamera();
    const std::shared_ptr<CamServer>& server = heard.server;
    const CameraView* camera = cameraOf(heard);
    const std::shared_ptr<PhoneList> microphone = camera ? server->getMicrophone(camera) : nullptr;
    if (!microphone) {
        toggle->setChecked(false);
        qCInfo(lcWindow) << "Cam without sound";
    } else if (isHeld(server.get())) {
        // The server's fields may be half-typed: the toggle only says
        // whether the sound starts when the server list closes.
        toggle->setChecked(!wasOn);
        host_->listenLater(this);
    } else if (!wasOn) {
        toggle->setChecked(startSound());
        qCInfo(lcWindow) << "Start sound";
    } else {
        host_->stopListening(this);
        toggle->setChecked(false);
        qCInfo(lcWindow) << "Stop sound";
    }
}

void FirstWindow::soundTaken() {
    ui_->actionSound->setChecked(false);
}

void FirstWindow::resumeSound() {
    QAction* toggle = ui_->actionSound;
    if (toggle->isChecked() && !startSound()) toggle->setChecked(false);
}

void FirstWindow::applySoundAvailability(CamServer* server, const CameraView* camera) {
    const bool hasMicrophone = server && camera && server->getMicrophone(camera);
    QMenu* sound = soundMenu();
    sound->menuAction()->setEnabled(hasMicrophone);  // entry 3 of its parent menu
    const QList<QAction*> entries = sound->actions();
    for (int i = 0; i < 2 && i < entries.size(); ++i) {
        entries[i]->setVisible(hasMicrophone);
        // The slider's widget action hands its enabled state to the slider.
        entries[i]->setEnabled(hasMicrophone);
    }
}

void FirstWindow::stopSoundForSwitch() {
    // Another window's sound goes on.
    host_->stopListening(this);
    const QList<QAction*> entries = soundMenu()->actions();
    if (!entries.isEmpty()) entries.first()->setChecked(false);
}

LayoutMode::Camera FirstWindow::soundCamera() const {
    if (roomShown_) return room_->selectedCamera();
    return {settings_.getCurrent(), settings_.cameraIdx()};
}

// --- what the window says it shows ---

QString FirstWindow::currentCameraTitle() const {
    const auto server = settings_.getCurrent();
    const auto cameras = server ? server->getCameras() : nullptr;
    const std::int64_t k = settings_.cameraIdx();
    if (!cameras || k < 0 || k >= std::ssize(*cameras)) return QString();
    return ViewTitles::camera(cameras->at(static_cast<size_t>(k))->cameraName, server->name());
}

QString FirstWindow::title() const {
    if (roomShown_ && room_) return room_->title();
    if (wall_ && wall_->server() && !cameraWall()->isHidden())
        return ViewTitles::wall(wall_->server()->name());
    if (QString camera = currentCameraTitle(); !camera.isEmpty()) return camera;
    const auto server = settings_.getCurrent();
    return server ? server->name() : QString();
}

void FirstWindow::followShown() {
    if (ended_) return;
    const bool several = settings_.getServers().size() > 1;
    if (wall_) wall_->setNamesServer(several);
    // The one camera names its server too where there is more than one.
    mainImage()->setCaption(several ? currentCameraTitle() : QString());
    setWindowTitle(ViewTitles::window(title()));  // no change: nothing happens
    followActivity();
}

void FirstWindow::followActivity() {
    ActivityWatch* watch = host_->hub()->activity();
    const auto server = settings_.getCurrent();
    const auto cameras = server ? server->getCameras() : nullptr;
    const auto cameraAt = [&](std::int64_t k) -> ActivityWatch::Parts {
        if (!cameras || k < 0 || k >= std::ssize(*cameras)) return {};
        const CameraView& c = *cameras->at(static_cast<size_t>(k));
        return {server->serverId(), c.uri, c.cameraName};
    };
    const bool wallShown =
        !roomShown_ && wall_ && wall_->server() == server && !cameraWall()->isHidden();
    const bool oneShown = !roomShown_ && !wallShown && !mainImage()->isHidden();
    watch->watch(mainImage(), oneShown ? cameraAt(settings_.cameraIdx()) : ActivityWatch::Parts{});
    CameraWall* wall = cameraWall();
    for (int i = 0; i < wall->cellCount(); ++i)
        watch->watch(wall->cell(i)->imageView(),
                     wallShown ? cameraAt(wall_->cameraAt(i)) : ActivityWatch::Parts{});
}
