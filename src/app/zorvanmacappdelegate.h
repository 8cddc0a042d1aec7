// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "roommenus.h"
#include "viewerhost.h"
#include "zvdatamanagerdelegate.h"

class AlertQueue;
class CamServer;
class CameraView;
class CameraWall;
class ControlRoomHub;
class RoomScreen;
class RoomWindow;
class ScreenKeeper;
struct CameraRef;
struct WindowState;
class LiveVideo;
class QAction;
class QActionGroup;
class QMenu;
class QMessageBox;
class PasswordVault;
class PictureSaver;
class PlayerView;
class QSlider;
class QWidgetAction;
class Reconnector;
class RestWhileHidden;
class Settings;
class ServerProbe;
class SoundStatusLine;
class TimedPictureLoader;
class TouchImage;
class WallMode;
class WindowPanel;
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
class ZorvanMacAppDelegate : public QObject, public ZVDataManagerDelegate, public ViewerHost {
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
    // Turns the camera wall on or off for the current server and keeps the
    // choice in its previewRegim (1 the wall, 0 one camera).
    void toggleWall(bool on);
    // Lays the wall out for n cameras on a page, kept in camOnPage.
    void setCamerasOnPage(int n);

    // The control room: layouts, tours and windows (zorvanmacappdelegate_room.cpp).
    // A command line of the viewer's (its own at start-up, or one handed
    // over by a later start): shows what it names. Returns the exit status
    // for the start that gave it (0, or 2 with message set for an unknown
    // name); with apply false it only checks the names.
    int applyCommandLine(const QStringList& arguments, QString* message, bool apply = true);
    // ViewerHost: what every window asks of the process.
    ControlRoomHub* hub() const override { return hub_.get(); }
    void savePicture(TouchImage* view) override;
    void editServerList() override { preference(); }
    void editLayouts(QWidget* window, const QString& selected) override;
    QString saveLayout(QWidget* window, Layout layout, const QString& suggested) override;
    void openWindow() override { newWindow(); }
    void quit() override;
    bool listen(QWidget* window, const std::shared_ptr<CamServer>& server, std::int64_t k) override;
    void stopListening(QWidget* window) override;
    QString soundStatus() const override;
    int volume() const override;
    void setVolume(int value) override;
    // The window whose camera is heard; none while no sound plays.
    QWidget* listeningWindow() const { return soundWindow_; }

    RoomScreen* roomScreen() const { return room_; }
    // Shows a layout (or starts a tour) in the main window; false when
    // there is none of that name.
    bool showLayout(const QString& name);
    bool startTour(const QString& name);
    // Back from a layout or tour to the current server's own view.
    void leaveRoom();
    // Opens another window; state: what it shows and where (none: the
    // main window's layout or the first one).
    RoomWindow* newWindow(const WindowState* state = nullptr);
    const std::vector<std::unique_ptr<RoomWindow>>& roomWindows() const { return roomWindows_; }

    ZVMainWindow* window() const { return window_.get(); }
    TouchImage* mainImage() const;
    QMenu* serversMenu() const;
    QMenu* camerasMenu() const;
    QMenu* soundMenu() const;
    ZVDataManager* dataManager() const { return dataManager_.get(); }
    // The silent retries after a server did not answer. Every command of the
    // person's own that loads a server ends them with cancel() first.
    Reconnector* reconnector() const { return reconnector_.get(); }
    CameraWall* cameraWall() const;
    // Save Picture: the shown camera's last picture (in the wall the
    // selected cell's) as the server sent it, into the pictures folder's
    // "Zorvan" folder. Enabled while there is such a picture.
    QAction* savePictureAction() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend struct ZorvanMacAppDelegateTestAccess;

    // The silent retries, the rest while hidden and the picture probe: what
    // keeps the pictures coming, or resting, without the person's doing.
    void createPictureKeepers();
    void createVolumeSlider();
    // Reads the passwords kept in the keyring; alerts once where it cannot.
    void startPasswordVault();
    void connectCommands();
    // Makes server the data manager's and gives it the picture loader.
    void bindServer(const std::shared_ptr<CamServer>& server);
    void showCamera(CamServer& server, std::int64_t k);
    void applySoundAvailability(CamServer* server, const CameraView* camera);
    // shown: set to the alert while it is up, so that it can be closed.
    void showAlert(const char* key, QPointer<QMessageBox>* shown = nullptr);
    bool isRetryFailure();
    // A server or camera switch ends the sound of the camera left: the
    // sound toggle goes off and the player stops.
    void stopSoundForSwitch();
    // Starts the shown camera's sound on the current server with the
    // server's fields as they are now; false when the camera has none.
    bool startSound();
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
    // Adds a checkable item of a record's name (shown as it is: '&' is no
    // mnemonic), with the name as its "title" and tag as its "tag".
    static QAction* addRecordItem(QMenu* menu, const QString& title, int tag);
    // The servers menu, one item per stored server, current one checked.
    void fillServersMenu();
    void endWork();
    // The shown camera's pictures keep failing: when the server refuses
    // connections, its picture requests stop and a probe finds out, once a
    // second, when it is back; the refresh then resumes at once.
    void pictureFailed(const std::shared_ptr<CamServer>& server, int failuresInARow);
    void pictureServerDown();
    void pictureServerBack();
    void stopPictureProbe();

    // The one-camera view's live video (zorvanmacappdelegate_video.cpp).
    void createLiveVideo();
    // View > Live Video turned on or off for the current server.
    void setLiveVideo(bool on);
    // The video ended, or was turned off: the stills of the shown camera
    // come again, where the one-camera view shows it.
    void resumeStills();
    // The Live Video item shows the server's own choice.
    void followLiveVideo(const CamServer* server);

    // The camera wall (zorvanmacappdelegate_wall.cpp).
    void createWallCommands();
    static bool isWallOn(const CamServer* server);
    // Shows the wall or the one camera as the server's previewRegim says,
    // after a server change: a wall of another server ends.
    void followServer(const std::shared_ptr<CamServer>& server);
    void setWallShown(bool on);
    void showWall(const std::shared_ptr<CamServer>& server, std::int64_t selected);
    // The person chose the camera from the wall: it is stored, checked in
    // the cameras menu, framed on its page, and the sound follows it.
    void selectCamera(std::int64_t k);
    void openFromWall(int cell);
    void turnPage(bool forward);
    void moveSelection(int key);
    void checkCamerasOnPage(const CamServer* server);

    // The control room (zorvanmacappdelegate_room.cpp).
    void createRoom();
    void rebuildRoomMenus();
    void setRoomShown(bool on);
    void showCameraFromRoom(const std::shared_ptr<CamServer>& server, std::int64_t index);
    void backToRoom();
    void saveWallAsLayout();
    void toggleTour();
    void updateRoomActions();
    // What the main window shows, for the layouts file.
    WindowState mainWindowState() const;
    // The current server's own view, as a window shows it: its wall or its
    // camera, as the server is set (a camera of no server without one).
    WindowState currentServerView() const;
    // The layout or tour a window showed was deleted (window: none for the
    // main window): it shows the current server's own view, with note.
    void leaveDeleted(RoomWindow* window, const QString& note);
    void storeWindows();
    void restoreWindows();
    // The main window's title says what it shows, and its wall's captions
    // name the server where there is more than one: told after each switch,
    // list and server list edit.
    void followShown();
    QString mainTitle() const;
    // "Camera — Server" for the current server's stored camera; empty while
    // its list does not hold it.
    QString currentCameraTitle() const;
    void closeRoomWindow(RoomWindow* window);
    // The server and camera the sound and the picture commands act on: the
    // shown one, or in a layout the selected cell's.
    std::shared_ptr<CamServer> soundServer(const CameraView** camera) const;

    // Save Picture (zorvanmacappdelegate_picture.cpp).
    void createPictureCommands();
    // The view whose picture Save Picture saves: the one camera's, or the
    // wall's selected cell's; none without a selected cell.
    TouchImage* pictureToSave() const;
    void updateSaveAction();

    Settings& settings_;
    // Where the passwords are kept; from start-up, and outliving the server list.
    std::unique_ptr<PasswordVault> vault_;
    std::unique_ptr<ZVMainWindow> window_;              // the main window and its controller
    std::unique_ptr<ZVDataManager> dataManager_;        // rebound to each current server
    std::unique_ptr<ZVServerSettings> settingsWindow_;  // from the first preference()
    std::unique_ptr<PlayerView> playerView_;            // from start-up to the end of the work
    SoundStatusLine* soundStatus_ = nullptr;            // owned by the picture view
    QSlider* audioSlider_ = nullptr;                    // owned by the sound menu
    QWidgetAction* volumeAction_ = nullptr;             // holds the slider; owned by the sound menu
    bool workEnded_ = false;
    bool editing_ = false;  // the server list is open
    // The sound was stopped for the server list, or asked for while its
    // server rested: it starts at the close if the toggle is still on.
    bool soundWaits_ = false;
    // The window whose camera the sound is of (the main window's, or
    // another's); none while it is off.
    QPointer<QWidget> soundWindow_;

    QAction* liveFigures_ = nullptr;  // owned by its menu
    // Gives the view the moment each picture is asked for.
    std::unique_ptr<TimedPictureLoader> pictureLoader_;
    std::unique_ptr<Reconnector> reconnector_;
    std::weak_ptr<CamServer> retrying_;  // the server the retries are for
    std::unique_ptr<AlertQueue> alerts_;
    QPointer<QMessageBox> unavailableAlert_;  // while "Server is not available" is up
    std::unique_ptr<RestWhileHidden> rest_;
    std::unique_ptr<ServerProbe> pictureProbe_;
    std::weak_ptr<CamServer> probed_;        // the server whose pictures stopped
    std::int64_t probedCamera_ = 0;          // and its camera
    std::unique_ptr<WallMode> wall_;         // refers to the window's wall: declared after window_
    QActionGroup* camerasOnPage_ = nullptr;  // owned by this controller
    // Set when a camera was opened out of the wall, so that Escape goes back.
    bool openedFromWall_ = false;
    // Plays the shown camera's video where it has one; refers to the
    // window's picture view: declared after window_.
    std::unique_ptr<LiveVideo> live_;
    std::unique_ptr<ControlRoomHub> hub_;  // layouts, tours, windows, background lists
    RoomScreen* room_ = nullptr;           // owned by the window
    bool roomShown_ = false;               // a layout or tour fills the main window
    bool openedFromRoom_ = false;          // a camera opened out of it: Escape goes back
    WindowPanel* panel_ = nullptr;         // owned by the window
    QMenu* layoutsMenu_ = nullptr;         // owned by the menu bar
    QMenu* toursMenu_ = nullptr;
    QAction* saveLayoutAction_ = nullptr;
    QAction* editLayoutsAction_ = nullptr;
    QAction* clearCellAction_ = nullptr;
    RoomMenus::TourActions tourActions_;  // owned by the tours menu
    QString lastTour_;
    std::vector<std::unique_ptr<RoomWindow>> roomWindows_;
    std::unique_ptr<ScreenKeeper> screens_;
    bool restoring_ = false;  // the windows are being restored: nothing to store yet
    // A camera named on the command line before its server's list came.
    QString pendingCamera_;
    // Writes saved pictures; ended first, so that no save reports to a
    // controller being destroyed.
    std::unique_ptr<PictureSaver> saver_;
};
