#include "zorvanmacappdelegate.h"

#include "camserver.h"
#include "mainthreadcall.h"
#include "reconnector.h"
#include "restwhilehidden.h"
#include "settings.h"
#include "timedpictureloader.h"
#include "touchimage.h"
#include "ui_zvmainwindow.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QWidgetAction>

#include "TXJsonValue.h"

#include <algorithm>

Q_LOGGING_CATEGORY(lcApp, "zorvan.app")

namespace {

// Menu items show record names as they are: '&' is not a mnemonic here.
QAction* addRecordItem(QMenu* menu, const QString& title, int tag) {
    QAction* item = menu->addAction(QString(title).replace('&', "&&"));
    item->setCheckable(true);
    item->setProperty("title", title);
    item->setProperty("tag", tag);
    // Choosing a server or a camera from these menus comes with the menu
    // commands; until then the items only show the lists and the selection.
    item->setEnabled(false);
    return item;
}

}  // namespace

ZorvanMacAppDelegate::ZorvanMacAppDelegate(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings), window_(std::make_unique<ZVMainWindow>()) {
    reconnector_ = std::make_unique<Reconnector>([this] {
        // Only the server that did not answer is retried: should another
        // have become current, its own load decides.
        const auto server = settings_.getCurrent();
        if (!dataManager_ || workEnded_ || !server || server != retrying_.lock()) return false;
        dataManager_->loadCameras();
        return true;
    });
    rest_ =
        std::make_unique<RestWhileHidden>(window_.get(), [this] { return settings_.getCurrent(); });
    createVolumeSlider();
    connectCommands();
}

ZorvanMacAppDelegate::~ZorvanMacAppDelegate() {
    endWork();
}

TouchImage* ZorvanMacAppDelegate::mainImage() const {
    return window_->ui().mainImage;
}
QMenu* ZorvanMacAppDelegate::serversMenu() const {
    return window_->ui().serversMenu;
}
QMenu* ZorvanMacAppDelegate::camerasMenu() const {
    return window_->ui().camerasMenu;
}
QMenu* ZorvanMacAppDelegate::soundMenu() const {
    return window_->ui().soundMenu;
}

void ZorvanMacAppDelegate::createVolumeSlider() {
    // The slider sits in the sound menu right after the sound toggle.
    audioSlider_ = new QSlider(Qt::Horizontal);
    audioSlider_->setToolTip(zvText("Volume"));
    audioSlider_->setMinimumWidth(140);
    auto* holder = new QWidgetAction(soundMenu());
    holder->setDefaultWidget(audioSlider_);
    soundMenu()->addAction(holder);
}

void ZorvanMacAppDelegate::connectCommands() {
    Ui::ZVMainWindow& ui = window_->ui();
    connect(ui.actionReload, &QAction::triggered, this, &ZorvanMacAppDelegate::openServer);
    connect(ui.actionQuit, &QAction::triggered, window_.get(), &QWidget::close);
    // Sound and the server list editor arrive with their own parts of the
    // viewer; until then their commands are shown but cannot be chosen.
    ui.actionPreferences->setEnabled(false);
    ui.actionSound->setEnabled(false);
    audioSlider_->setEnabled(false);
    // Nothing is known about sound before a camera is shown.
    applySoundAvailability(nullptr, nullptr);

    // The live rate and round-trip time over the picture, on request.
    liveFigures_ = new QAction(zvText("Show Picture Rate"), ui.menuViewer);
    liveFigures_->setCheckable(true);
    ui.menuViewer->insertAction(ui.actionPreferences, liveFigures_);
    connect(liveFigures_, &QAction::toggled, this,
            [this](bool on) { mainImage()->freshness().setShowStats(on); });
}

void ZorvanMacAppDelegate::applicationDidFinishLaunching() {
    MainThreadCall::reopen();
    audioSlider_->setMaximum(100);
    audioSlider_->setMinimum(0);
    audioSlider_->setValue(100);

    dataManager_ = std::make_unique<ZVDataManager>(settings_.getCurrent());
    dataManager_->setDelegate(this);
    pictureLoader_ = std::make_unique<TimedPictureLoader>(dataManager_.get(), mainImage());

    placeWindow(settings_.getWinPosition());
    window_->show();
    window_->raise();
    window_->activateWindow();

    updateServers();
}

void ZorvanMacAppDelegate::placeWindow(const QRectF& frame) {
    QRect r = frame.toAlignedRect();
    if (r.width() <= 0 || r.height() <= 0) r.setSize({507, 363});
    // Keep the window whole on the screen that shows most of it (the primary
    // one when none does): a frame stored for a larger or unplugged monitor
    // would otherwise leave the picture partly or wholly out of sight.
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(r);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (best) {
        const QRect avail = best->availableGeometry();
        r.setSize(r.size().boundedTo(avail.size()));
        r.moveLeft(std::clamp(r.left(), avail.left(), avail.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), avail.top(), avail.bottom() - r.height() + 1));
    }
    window_->setGeometry(r);
}

void ZorvanMacAppDelegate::applicationWillTerminate() {
    settings_.setWinPosition(window_ ? QRectF(window_->geometry()) : QRectF());
    settings_.save();
    endWork();
}

void ZorvanMacAppDelegate::endWork() {
    if (workEnded_) return;
    workEnded_ = true;
    reconnector_->cancel();
    rest_->end();
    for (const auto& server : settings_.getServers()) server->stopVideo();
    // Release workers waiting for the main thread, then abort and join them.
    MainThreadCall::close();
    if (dataManager_) dataManager_->shutdown();
}

// --- commands ---

void ZorvanMacAppDelegate::updateServers() {
    QMenu* menu = serversMenu();
    menu->clear();
    int n = 0;
    for (const auto& server : settings_.getServers()) addRecordItem(menu, server->name(), n++);

    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    if (!current) return;
    const QString name = current->name();
    for (QAction* item : menu->actions())
        item->setChecked(item->property("title").toString() == name);

    dataManager_->setCurrentServer(current);
    current->setDataManager(pictureLoader_.get());
    dataManager_->setDelegate(this);
    dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::openServer() {
    reconnector_->cancel();
    if (dataManager_) dataManager_->loadCameras();
}

// --- data manager reports ---

void ZorvanMacAppDelegate::mikrophonesDidLoaded(const tx::JsonValue& list) {
    MainThreadCall::run([&] {
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        if (server && !server->setMicrophones(list)) {
            qCInfo(lcApp) << "Microphone list is not a list";
            if (!reconnector_->takeFailure()) showAlert("Error");
        }
    });
}

void ZorvanMacAppDelegate::camerasDidLoaded(const tx::JsonValue& list) {
    MainThreadCall::run([&] {
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        if (!server) return;
        if (!server->setCameras(list)) {
            qCInfo(lcApp) << "Camera list is not a list";
            if (!reconnector_->takeFailure()) showAlert("Error");
            return;
        }
        reconnector_->succeeded();
        // The server is back: its "not available" alert is no longer true.
        if (unavailableAlert_) unavailableAlert_->done(QMessageBox::Accepted);
        const auto cameras = server->getCameras();
        QMenu* menu = camerasMenu();
        menu->clear();
        int n = 0;
        for (const auto& camera : *cameras) addRecordItem(menu, camera->cameraName, n++);
        mainImage()->setCamerasMenu(menu);
        if (cameras->empty()) return;

        // Compared unsigned, so a negative stored index counts as out of range.
        const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
        if (k < cameras->size()) {
            showCamera(*server, static_cast<std::int64_t>(k));
            menu->actions().at(static_cast<qsizetype>(k))->setChecked(true);
            applySoundAvailability(server.get(), cameras->at(k).get());
        } else {
            // The stored index stays as it is until the user picks a camera.
            showCamera(*server, 0);
            menu->actions().at(0)->setChecked(true);
        }
    });
}

void ZorvanMacAppDelegate::previewsDidLoaded(const tx::JsonValue&) {}

void ZorvanMacAppDelegate::noConnection() {
    showAlert("Connection error");
}

void ZorvanMacAppDelegate::serverNotConnected() {
    if (isRetryFailure()) return;
    std::shared_ptr<CamServer> server;
    std::shared_ptr<const CameraList> listBefore;
    MainThreadCall::run([&] {
        // Keep trying from now on, not from when the alert is dismissed: a
        // server that comes back while nobody is there to read the alert
        // still returns, and takes the alert away.
        server = settings_.getCurrent();
        if (!server || workEnded_) return;
        listBefore = server->getCameras();
        retrying_ = server;
        reconnector_->start(server->host());
    });
    showAlert("Server is not available", &unavailableAlert_);
    MainThreadCall::run([&] {
        // A fresh list that a retry brought meanwhile stays in the menu.
        if (server && server == settings_.getCurrent() && server->getCameras() != listBefore)
            return;
        camerasMenu()->clear();
    });
}

void ZorvanMacAppDelegate::badResponse() {
    if (isRetryFailure()) return;
    showAlert("Error");
}

bool ZorvanMacAppDelegate::isRetryFailure() {
    // Retries are silent: their failures only plan the next one.
    bool retry = false;
    MainThreadCall::run([&] { retry = reconnector_->takeFailure(); });
    return retry;
}

// --- helpers, main thread ---

void ZorvanMacAppDelegate::showCamera(CamServer& server, std::int64_t k) {
    const auto cameras = server.getCameras();
    // The picture counts as old after a few of this server's intervals.
    mainImage()->freshness().setRefreshIntervalMs(CamServer::refreshIntervalMs(server.fps()));
    cameras->at(static_cast<size_t>(k))->setCamera(mainImage());
    // At once, or when the window can be seen again.
    rest_->videoCameraAtIndex(server, k);
}

void ZorvanMacAppDelegate::applySoundAvailability(CamServer* server, const CameraView* camera) {
    const bool hasMicrophone = server && camera && server->getMicrophone(camera);
    QMenu* sound = soundMenu();
    sound->menuAction()->setEnabled(hasMicrophone);  // entry 3 of its parent menu
    const QList<QAction*> entries = sound->actions();
    for (int i = 0; i < 2 && i < entries.size(); ++i) entries[i]->setVisible(hasMicrophone);
}

void ZorvanMacAppDelegate::showAlert(const char* key, QPointer<QMessageBox>* shown) {
    qCInfo(lcApp) << "Alert:" << key;
    MainThreadCall::run([&] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Zorvan"), zvText(key),
                        QMessageBox::NoButton, window_.get());
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        if (shown) *shown = &box;
        box.exec();
    });
}
