#pragma once

#include <QObject>
#include <QRect>

#include <cstdint>
#include <memory>

#include "zvdatamanagerdelegate.h"

class CamServer;
class CameraView;
class QAction;
class QMenu;
class PlayerView;
class QSlider;
class Settings;
class SoundStatusLine;
class TouchImage;
class ZVDataManager;
class ZVMainWindow;

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
    PlayerView* playerView() const { return playerView_.get(); }

private:
    void createVolumeSlider();
    void connectCommands();
    void placeWindow(const QRectF& frame);
    void showCamera(CamServer& server, std::int64_t k);
    void applySoundAvailability(CamServer* server, const CameraView* camera);
    void showAlert(const char* key);
    void endWork();

    Settings& settings_;
    std::unique_ptr<ZVMainWindow> window_;        // the main window and its controller
    std::unique_ptr<ZVDataManager> dataManager_;  // rebound to each current server
    std::unique_ptr<PlayerView> playerView_;      // from start-up to the end of the work
    SoundStatusLine* soundStatus_ = nullptr;      // owned by the picture view
    QSlider* audioSlider_ = nullptr;              // owned by the sound menu
    bool workEnded_ = false;
};
