#pragma once

#include <QObject>
#include <QRect>

#include <QPointer>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "zvdatamanagerdelegate.h"

class CamServer;
class CameraView;
class QAction;
class QMenu;
class QMessageBox;
class PlayerView;
class QSlider;
class QWidgetAction;
class Settings;
class SoundStatusLine;
class TouchImage;
class ZVDataManager;
class ZVMainWindow;
class ZVServerSettings;

// The application controller: creates the long-lived objects at start-up,
// turns the data manager's reports into camera records, menus and alerts,
// serves the menu commands, and saves the window frame at quit.
//
// Lives on the main thread. The data manager reports on its workers; each
// report's whole work is done on the main thread while the worker waits, so
// the order of the reports is kept and the settings and widgets are only
// ever touched on the main thread.
class ZorvanMacAppDelegate : public QObject, public ZVDataManagerDelegate {
    Q_OBJECT

public:
    // settings: the store to use (the process-wide one in the viewer).
    explicit ZorvanMacAppDelegate(Settings& settings, QObject* parent = nullptr);
    ~ZorvanMacAppDelegate() override;

    void applicationDidFinishLaunching();
    // Stores the window frame, writes the settings file, then ends the
    // picture refresh and every worker so that quitting is clean.
    void applicationWillTerminate();

    // ZVDataManagerDelegate, called on the data manager's workers.
    void camerasDidLoaded(const tx::JsonValue& list) override;
    void mikrophonesDidLoaded(const tx::JsonValue& list) override;
    void previewsDidLoaded(const tx::JsonValue& list) override;
    void noConnection() override;
    void serverNotConnected() override;
    void badResponse() override;

    // Commands, main thread.
    void updateServers();
    void openServer();
    // Makes the server whose servers-menu item has sender's title current
    // (every such server in turn) and loads it; the camera index goes to 0.
    void changeServer(QAction* sender);
    // Shows the camera whose cameras-menu item has sender's title (the last
    // such one wins), stores its position and saves.
    void changeCamera(QAction* sender);
    // Shows the server-list dialog, made on first use and kept.
    void preference();
    // Starts or stops the shown camera's sound. wasOn: the toggle's state
    // before the user chose it.
    void changeSound(bool wasOn);
    // value: the volume slider's value, 0 to 100.
    void changeVolume(int value);

    ZVMainWindow* window() const { return window_.get(); }
    TouchImage* mainImage() const;
    QMenu* serversMenu() const;
    QMenu* camerasMenu() const;
    QMenu* soundMenu() const;
    QSlider* audioSlider() const { return audioSlider_; }
    ZVDataManager* dataManager() const { return dataManager_.get(); }
    ZVServerSettings* settingsWindow() const { return settingsWindow_.get(); }
    PlayerView* playerView() const { return playerView_.get(); }

private:
    void createVolumeSlider();
    void connectCommands();
    void placeWindow(const QRectF& frame);
    void centreWindow();
    void showCamera(CamServer& server, std::int64_t k);
    void applySoundAvailability(CamServer* server, const CameraView* camera);
    void showAlert(const char* key);
    void queueAlert(const QString& text, std::function<void()> finish);
    void showNextAlert();
    // A server or camera switch ends the sound of the camera left: the
    // sound toggle goes off (and the player stops once sound can play).
    void stopSoundForSwitch();
    void endWork();

    Settings& settings_;
    std::unique_ptr<ZVMainWindow> window_;              // the main window and its controller
    std::unique_ptr<ZVDataManager> dataManager_;        // rebound to each current server
    std::unique_ptr<ZVServerSettings> settingsWindow_;  // from the first preference()
    std::unique_ptr<PlayerView> playerView_;            // from start-up to the end of the work
    SoundStatusLine* soundStatus_ = nullptr;            // owned by the picture view
    QSlider* audioSlider_ = nullptr;                    // owned by the sound menu
    QWidgetAction* volumeAction_ = nullptr;             // holds the slider; owned by the sound menu
    bool workEnded_ = false;

    // Alerts waiting to be shown, the front one open while alertBox_ is set.
    struct PendingAlert {
        QString text;
        std::vector<std::function<void()>> finishers;  // release the reporting workers
    };
    std::deque<PendingAlert> alerts_;
    QPointer<QMessageBox> alertBox_;
};
