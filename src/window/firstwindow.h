// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "zvmainwindow.h"

#include <QPointer>

#include <cstdint>
#include <memory>

#include "layout.h"
#include "layoutmode.h"
#include "roommenus.h"
#include "viewerhost.h"

class CamServer;
class CameraView;
class CameraWall;
class LiveVideo;
class PictureLoader;
class QActionGroup;
class QMenu;
class QSlider;
class RestWhileHidden;
class RoomScreen;
class ServerProbe;
class Settings;
class SoundStatusLine;
class TimedPictureLoader;
class TouchImage;
class WallMode;
class WindowPanel;
class WindowRewind;

// What the first window asks of the process beyond what every window asks:
// the server it shows is the settings store's current server, whose lists
// the process loads (with its silent retries and its alerts).
class FirstWindowHost : public ViewerHost {
public:
    // server becomes the current server of the store and of the loads; its
    // lists are not asked yet.
    virtual void makeCurrent(const std::shared_ptr<CamServer>& server) = 0;
    // Ends the silent retries and asks the current server's lists anew
    // (unless the server list holds it: its close loads it).
    virtual void loadCurrent() = 0;
    virtual void cancelRetries() = 0;
    // Whether the silent retries run (they watch the server themselves).
    virtual bool isRetrying() const = 0;
    // The camera's server rests for the server list: window's sound starts
    // at the list's close (its resumeSound()) if Listen is still on then.
    virtual void listenLater(ZVMainWindow* window) = 0;
};

// The first window of the viewer and its controller. It shows what the
// settings file keeps: the current server's one camera (its stills at the
// window's size from the process's loads, or its live video) or its camera
// wall, or a layout or a tour of the layouts file; and it offers every
// command of a window. Closing it quits the viewer. Main thread only.
class FirstWindow : public ZVMainWindow {
    Q_OBJECT

public:
    FirstWindow(FirstWindowHost* host, Settings& settings);
    ~FirstWindow() override;

    // loader: the process's loader of the current server's pictures, given
    // once it exists (before the first server is bound).
    void start(PictureLoader* loader);
    // At quit: nothing is asked or resumed from here on.
    void end();

    TouchImage* mainImage() const;
    CameraWall* cameraWall() const;
    RoomScreen* roomScreen() const { return room_; }
    QMenu* serversMenu() const;
    QMenu* camerasMenu() const;
    QMenu* soundMenu() const;
    // Save Picture: the shown camera's last picture (in a wall or layout
    // the selected cell's), enabled while there is such a picture.
    QAction* savePictureAction() const;
    WindowPanel* panel() const { return panel_; }

    // The current server's own view.
    // Makes the server whose servers-menu item has sender's title current
    // (every such server in turn) and loads it; the camera index goes to 0.
    void changeServer(QAction* sender);
    // Shows the camera whose cameras-menu item has sender's title (the last
    // such one wins), stores its position and saves.
    void changeCamera(QAction* sender);
    // Turns the camera wall on or off for the current server and keeps the
    // choice in its previewRegim (1 the wall, 0 one camera).
    void toggleWall(bool on);
    // Lays the wall out for n cameras on a page, kept in camOnPage.
    void setCamerasOnPage(int n);
    // The servers menu, one item per stored server, current one checked.
    void fillServersMenu();
    // Shows the wall or the one camera as the server's previewRegim says,
    // after a server change: a wall of another server ends.
    void followServer(const std::shared_ptr<CamServer>& server);
    // The current server's pictures go to this window from now on.
    void bind(const std::shared_ptr<CamServer>& server);
    // The current server's lists arrived: the cameras menu follows, and the
    // stored camera (or its wall) is shown.
    void camerasArrived(CamServer& server);
    // The current server did not answer: its cameras leave the menu.
    void camerasLost();
    // The process retries the current server's lists: their probe covers
    // the pictures too, so this window's own probe ends.
    void retriesStarted() { stopPictureProbe(); }
    // At the end: server no longer refers to this window's picture loader.
    void release(CamServer& server);
    // The server list is about to change server's record: nothing is asked
    // of it from here on in this window, until the list closes.
    void serverHeld(const std::shared_ptr<CamServer>& server);

    // Layouts and tours (firstwindow_room.cpp).
    bool showsRoom() const { return roomShown_; }
    // Shows a layout (or starts a tour); false when there is none of that name.
    bool showLayout(const QString& name);
    bool startTour(const QString& name);
    // Back from a layout or tour to the current server's own view.
    void leaveRoom();
    // Shows camera index of server alone, making server current; with
    // back, Escape returns to the layout or tour it was opened from.
    void showCameraOf(const std::shared_ptr<CamServer>& server, std::int64_t index, bool back);

    // What the window shows and where, for the layouts file.
    WindowState state() const;
    // The current server's own view, as a window shows it: its wall or its
    // camera, as the server is set (a camera of no server without one).
    WindowState currentServerView() const;
    bool isFullScreenOn() const;
    void setFullScreen(bool on);
    // The frame to keep: in full screen the one the window returns to.
    QRect frameToKeep() const;

    void soundTaken() override;
    void resumeSound() override;
    // The title says what the window shows, and the captions name the
    // server where there is more than one: told after each switch, list and
    // server list edit.
    void followShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend struct ZorvanMacAppDelegateTestAccess;  // the tests look into its slider and rest

    void connectCommands();
    void createVolumeSlider();
    // Listen, as the toggle was before the person chose it.
    void changeSound(bool wasOn);
    void applySoundAvailability(CamServer* server, const CameraView* camera);
    // A server or camera switch ends the sound of the camera left.
    void stopSoundForSwitch();
    bool startSound();
    // The camera the sound acts on: the shown one, or in a layout the
    // selected cell's.
    LayoutMode::Camera soundCamera() const;
    // Its record; none outside its server's list.
    static const CameraView* cameraOf(const LayoutMode::Camera& camera);
    bool isHeld(const CamServer* server) const;
    void showCamera(CamServer& server, std::int64_t k);
    // The shown camera's pictures keep failing: when the server refuses
    // connections, its picture requests stop and a probe finds out, once a
    // second, when it is back; the refresh then resumes at once.
    void pictureFailed(const std::shared_ptr<CamServer>& server, int failuresInARow);
    void pictureServerDown();
    void pictureServerBack();
    void stopPictureProbe();
    QString title() const;
    // The one camera or the wall's cells are watched for activity as shown.
    void followActivity();
    // "Camera — Server" for the current server's stored camera; empty while
    // its list does not hold it.
    QString currentCameraTitle() const;

    // The camera wall and the live video (firstwindow_wall.cpp).
    void createWallCommands();
    void createLiveVideo();
    static bool isWallOn(const CamServer* server);
    void setWallShown(bool on);
    void showWall(const std::shared_ptr<CamServer>& server, std::int64_t selected);
    // The person chose the camera from the wall: it is stored, checked in
    // the cameras menu, framed on its page, and the sound follows it.
    void selectCamera(std::int64_t k);
    void openFromWall(int cell);
    void turnPage(bool forward);
    void moveSelection(int key);
    void checkCamerasOnPage(const CamServer* server);
    void setLiveVideo(bool on);
    // The video ended, or was turned off: the stills of the shown camera
    // come again, where the one-camera view shows it.
    void resumeStills();
    void followLiveVideo(const CamServer* server);
    // The one camera's video, as far as the viewer's budget of decodes
    // goes: asked for camera k of server, stopped, and followed when the
    // budget changes.
    void playVideo(const std::shared_ptr<CamServer>& server, std::int64_t k);
    void stopVideo();
    void followVideoGrant();

    // Layouts, tours and pictures (firstwindow_room.cpp).
    void createRoom();
    void createPictureCommands();
    void rebuildRoomMenus();
    void updateRoomActions();
    void setRoomShown(bool on);
    void backToRoom();
    void saveWallAsLayout();
    void toggleTour();
    // The layout or tour shown was deleted: the current server's own view,
    // with note.
    void leaveDeleted(const QString& note);
    // The view whose picture Save Picture saves: the one camera's, or the
    // selected cell's; none without a selected cell.
    TouchImage* pictureToSave() const;
    void updateSaveAction();

    FirstWindowHost* host_;
    Settings& settings_;
    Ui::ZVMainWindow* ui_;
    bool ended_ = false;
    std::unique_ptr<RestWhileHidden> rest_;
    std::unique_ptr<ServerProbe> pictureProbe_;
    std::weak_ptr<CamServer> probed_;  // the server whose pictures stopped
    std::int64_t probedCamera_ = 0;    // and its camera
    // Gives the view the moment each picture is asked for.
    std::unique_ptr<TimedPictureLoader> pictureLoader_;
    std::unique_ptr<WallMode> wall_;
    QActionGroup* camerasOnPage_ = nullptr;
    bool openedFromWall_ = false;  // a camera opened out of the wall: Escape goes back
    std::unique_ptr<LiveVideo> live_;
    std::weak_ptr<CamServer> videoServer_;  // the camera whose video is asked for
    std::int64_t videoCamera_ = -1;
    SoundStatusLine* soundStatus_ = nullptr;  // over the central widget
    QSlider* audioSlider_ = nullptr;          // in the sound menu
    QAction* liveFigures_ = nullptr;
    RoomScreen* room_ = nullptr;   // in the central widget
    bool roomShown_ = false;       // a layout or tour fills the window
    bool openedFromRoom_ = false;  // a camera opened out of it: Escape goes back
    WindowRewind* rewind_ = nullptr;  // child: going back in time
    WindowPanel* panel_ = nullptr;
    QString lastTour_;
};
