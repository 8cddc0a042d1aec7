// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "firstwindow.h"
#include "zvdatamanagerdelegate.h"

class AlertQueue;
class FocusKeeper;
class CamServer;
class ControlRoomHub;
class RoomWindow;
class ScreenKeeper;
struct WindowState;
class QMessageBox;
class PasswordVault;
class PictureSaver;
class PlayerView;
class Reconnector;
class Settings;
class TouchImage;
class ZVDataManager;
class ZVServerSettings;

// The application controller: creates the long-lived objects at start-up,
// holds what there is one of per viewer (the settings and the server list,
// the keyring, the current server's loads with their retries and alerts,
// the one microphone that plays, the layouts and the other windows, the
// screens), turns the data manager's reports into camera records and
// alerts, and saves the window frame at quit. Each window is its own
// controller (FirstWindow, RoomWindow) and reaches this one through its
// host interface.
//
// Lives on the main thread. The data manager reports on its workers; each
// report's whole work is done on the main thread while the worker waits, so
// the order of the reports is kept and the settings and widgets are only
// ever touched on the main thread.
class ZorvanMacAppDelegate : public QObject, public ZVDataManagerDelegate, public FirstWindowHost {
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

    // The servers menu follows the stored list, and the current server is
    // loaded (at start-up, and after the server list).
    void updateServers();
    // Zorvan > Reload.
    void openServer() { loadCurrent(); }
    // Shows the server-list dialog, made on first use and kept.
    void preference();

    // A command line of the viewer's (its own at start-up, or one handed
    // over by a later start): shows what it names. Returns the exit status
    // for the start that gave it (0, or 2 with message set for an unknown
    // name); with apply false it only checks the names.
    int applyCommandLine(const QStringList& arguments, QString* message, bool apply = true);

    // ViewerHost: what every window asks of the process.
    ControlRoomHub* hub() const override { return hub_.get(); }
    void savePicture(TouchImage* view) override;
    void editServerList() override { preference(); }
    void editPreferences(QWidget* window) override;
    void editActivity(QWidget* window, const CameraRef& camera, const QImage& picture) override;
    void editLayouts(QWidget* window, const QString& selected) override;
    QString saveLayout(QWidget* window, Layout layout, const QString& suggested) override;
    void openWindow() override { newWindow(); }
    void quit() override;
    bool listen(QWidget* window, const std::shared_ptr<CamServer>& server, std::int64_t k) override;
    void stopListening(QWidget* window) override;
    QString soundStatus() const override;
    int volume() const override { return volume_; }
    void setVolume(int value) override;
    // FirstWindowHost: the current server's loads.
    void makeCurrent(const std::shared_ptr<CamServer>& server) override;
    void loadCurrent() override;
    void cancelRetries() override;
    bool isRetrying() const override;
    void listenLater(ZVMainWindow* window) override;

    // The window whose camera is heard; none while no sound plays.
    QWidget* listeningWindow() const { return soundWindow_; }

    // Opens another window; state: what it shows and where (none: the
    // first window's layout or the first one).
    RoomWindow* newWindow(const WindowState* state = nullptr);
    const std::vector<std::unique_ptr<RoomWindow>>& roomWindows() const { return roomWindows_; }

    FirstWindow* window() const { return window_.get(); }
    ZVDataManager* dataManager() const { return dataManager_.get(); }
    // The silent retries after a server did not answer. Every command of the
    // person's own that loads a server ends them with cancel() first.
    Reconnector* reconnector() const { return reconnector_.get(); }

private:
    friend struct ZorvanMacAppDelegateTestAccess;

    // Reads the passwords kept in the keyring; alerts once where it cannot.
    void startPasswordVault();
    // Makes server the data manager's and the first window's.
    void bindServer(const std::shared_ptr<CamServer>& server);
    // shown: set to the alert while it is up, so that it can be closed.
    void showAlert(const char* key, QPointer<QMessageBox>* shown = nullptr);
    bool isRetryFailure();
    // Plays audioUri of server for window, taking the sound from any other.
    void play(QWidget* window, const std::shared_ptr<CamServer>& server, const QString& audioUri);
    // The server list opens. Nothing stops yet: a server rests from its
    // first edit on (holdServer()), every other one goes on.
    void beginEditing();
    // The server list is about to change server's record, which may from
    // now on hold half-typed values: until the list closes nothing is asked
    // of it (its refresh, lists, retries, probe, video and sound rest, in
    // every window). Nothing changes for any other server.
    void holdServer(const std::shared_ptr<CamServer>& server);
    // Whether server rests for the server list.
    bool isHeld(const CamServer* server) const;
    // The server list closed: the menus follow it, and the servers it held
    // resume with their final values (the current one loads again).
    void endEditing();
    void endWork();

    // The other windows (zorvanmacappdelegate_windows.cpp).
    // The layout or tour another window showed was deleted: it shows the
    // current server's own view, with note.
    void leaveDeleted(RoomWindow* window, const QString& note);
    void storeWindows();
    void restoreWindows();
    void closeRoomWindow(RoomWindow* window);

    Settings& settings_;
    // Where the passwords are kept; from start-up, and outliving the server list.
    std::unique_ptr<PasswordVault> vault_;
    std::unique_ptr<ControlRoomHub> hub_;  // layouts, tours, windows, background lists
    std::unique_ptr<ScreenKeeper> screens_;
    std::unique_ptr<FirstWindow> window_;               // the first window and its controller
    std::unique_ptr<ZVDataManager> dataManager_;        // rebound to each current server
    std::unique_ptr<ZVServerSettings> settingsWindow_;  // from the first preference()
    std::unique_ptr<PlayerView> playerView_;            // from start-up to the end of the work
    int volume_ = 100;                                  // 0 to 100, every window's
    bool workEnded_ = false;
    bool editing_ = false;  // the server list is open
    // The sound was stopped for the server list, or asked for while its
    // server rested: it starts at the close if the toggle is still on.
    bool soundWaits_ = false;
    // The window whose camera the sound is of; none while it is off.
    QPointer<ZVMainWindow> soundWindow_;
    // The window whose Listen was chosen while its camera's server rested.
    QPointer<ZVMainWindow> soundAsked_;

    std::unique_ptr<Reconnector> reconnector_;
    std::weak_ptr<CamServer> retrying_;  // the server the retries are for
    std::unique_ptr<AlertQueue> alerts_;
    std::unique_ptr<FocusKeeper> focus_;
    QPointer<QMessageBox> unavailableAlert_;  // while "Server is not available" is up
    std::vector<std::unique_ptr<RoomWindow>> roomWindows_;
    bool restoring_ = false;  // the windows are being restored: nothing to store yet
    // A camera named on the command line before its server's list came.
    QString pendingCamera_;
    // Writes saved pictures; ended first, so that no save reports to a
    // controller being destroyed.
    std::unique_ptr<PictureSaver> saver_;
};
