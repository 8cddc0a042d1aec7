// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "layout.h"
#include "layouthistory.h"
#include "layoutmode.h"

class CamServer;
class CameraWall;
class ControlRoomHub;
class LiveVideo;
class PointerHider;
class PreviewTouchImage;
class QStackedLayout;
class ScreenSaverInhibitor;
class TourNote;
class TourSchedule;
namespace roomedits {
struct Renames;
}

// A window's control-room view: a layout, a page of a server's wall, one
// camera, or a tour through layouts and wall pages. Two walls are stacked:
// the one in front is shown, the one behind takes the tour's next step a
// moment before it is due, so that its cells already have their pictures
// at the switch.
//
// A camera alone, and any cell of at least 640x360 device pixels, plays its
// camera's live video, as the one-camera view does, where it has a video
// path and Live Video is on for its server, as far as the viewer's budget
// of decodes goes (the largest cells of all windows first): its stills go
// on until the first frame, rest while the video plays and come back, with
// a note that says why, when it ends. Resting closes the videos, a server
// held by the server list stops its cells' until released, and a cell that
// shows something else, or becomes too small, stops at once. Main thread
// only.
class RoomScreen : public QWidget {
    Q_OBJECT

public:
    enum class Shows { Nothing, Layout, WallPage, Camera, Tour };

    explicit RoomScreen(ControlRoomHub* hub, QWidget* parent = nullptr);
    ~RoomScreen() override;

    // Each returns false (and changes nothing) when the name is unknown.
    bool showLayout(const QString& name);
    void showWallPage(const QString& serverId, int page);
    void showCamera(const CameraRef& camera);
    bool startTour(const QString& name);
    void stopTour();
    // Stops the tour and keeps its step of the moment on screen, as the
    // layout or wall page it is.
    void stopTourOnStep();
    // Shown alone: the next or previous camera of its server, as a ring.
    void stepCamera(bool forward);
    // Ends the pictures; shows nothing.
    void clear();

    Shows shows() const { return shows_; }
    // The layout's or tour's name.
    const QString& name() const { return name_; }
    // The layout, wall page or camera in front now (during a tour too).
    const LayoutMode::Source& source() const;
    // Fills state's shows, serverId, camera and name with what is shown.
    void describe(WindowState& state) const;
    // What is shown, in words, for the window's title: "Lobby", "Front
    // door — Shop", "Shop — Camera Wall", "Night — Lobby (2/5)"; empty when
    // nothing is.
    QString title() const;

    bool isTouring() const { return shows_ == Shows::Tour; }
    bool isTourPaused() const;
    // Space, Page Down, Page Up while touring.
    void pauseOrResumeTour();
    void nextStep();
    void previousStep();

    // While resting (the window cannot be seen) no picture is asked for; a
    // server being edited in the server list rests on its own.
    void setResting(bool resting);
    bool isResting() const { return resting_; }
    // The window that holds this screen entered or left full screen, as
    // the viewer asked it to. Told by the window's owner rather than read
    // from the window's state: without a window manager the window fills
    // its screen by itself, and Qt then drops the full-screen flag from
    // the window's state without a word, so that leaving full screen later
    // sends no state change either.
    void setWindowFullScreen(bool on);
    // Whether the screen saver is held off for this screen's sake.
    bool holdsScreenSaver() const;

    // Reads Live Video again for the shown camera's server (after
    // LiveVideo::setOn): the video starts or stops with it.
    void followLiveVideo();
    // A cell (or the camera alone) shows its live video now, its stills
    // resting; cell -1: any cell.
    bool isVideoPlaying(int cell = -1) const;

    CameraWall* wall() const;
    LayoutMode* mode() const;
    // The camera of the selected cell; none without one.
    LayoutMode::Camera selectedCamera() const;

    // Puts a camera (none: clears) into a cell of the layout shown; nothing
    // outside a layout (roomscreen_edits.cpp).
    void setCell(int cell, std::optional<CameraRef> camera);
    void swapCells(int from, int to);
    // While locked the cells of a layout shown here do not change from this
    // window: a drop, a swap, a clear, an undo or a redo is refused with a
    // note that says how to unlock.
    void setLocked(bool locked);
    bool isLocked() const { return locked_; }
    // Takes back (or does again) the last change of the shown layout's
    // cells seen here, from any window or Edit Layouts; false when there
    // is none.
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const;
    static QString lockedText();

    // A short note over the picture (over the first cell's), fading away.
    void showNote(const QString& text);

signals:
    // Enter or a double click on a cell showing a camera.
    void cameraActivated(const std::shared_ptr<CamServer>& server, std::int64_t index);
    // What is shown changed: another layout, tour, step or selection.
    void changed();
    void escapePressed();
    void fullScreenKey();
    // The layout or tour shown was deleted: the screen now shows nothing,
    // and note says what was deleted, for the window to show with what it
    // shows instead.
    void shownDeleted(const QString& note);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Side {
        CameraWall* wall = nullptr;
        std::unique_ptr<LayoutMode> mode;
    };
    Side& front() { return sides_[front_]; }
    Side& back() { return sides_[1 - front_]; }
    const Side& front() const { return sides_[front_]; }
    void showSource(const LayoutMode::Source& source);
    void connectWall(Side& side);
    // Whether the room still has the layout shown; follows renames and edits.
    void roomChanged();
    // What is shown, and the tour's steps, take the names an edit gave.
    void followRenames(const roomedits::Renames& renames);

    // Refused while locked: the note says so over cell.
    bool refusedWhileLocked(int cell);
    bool stepHistory(bool back);

    // The tour.
    LayoutMode::Source sourceOfStep(std::size_t step) const;
    // The servers a step draws from (by identity, repeats included).
    std::vector<QString> serversOfStep(std::size_t step) const;
    bool isStepDead(std::size_t step) const;
    // A step's name: its layout's, or its server's wall.
    QString stepName(std::size_t step) const;
    // The tour's note over the wall: shown at each step's start and while
    // paused, fading away while the tour runs.
    void updateTourNote();
    void switchTo(std::size_t step);
    void prefetch(std::size_t step);
    void runTour();
    void setTourInputWatch(bool on);
    // In full screen on a layout or tour the pointer hides when at rest, and
    // while pictures are live the screen saver is held off.
    void updateKiosk();
    static std::int64_t nowNs();

    // The cells' videos (roomscreen_video.cpp): which cells could play one
    // now (a camera with a video path, Live Video on for its server, its
    // server not held, the cell large enough or a camera alone), offered
    // to the viewer's budget of decodes.
    void followVideo();
    // Plays in the cells the budget gave, stops the others.
    void playGranted();
    // Whether camera can play its video here now.
    bool wantsVideo(const LayoutMode::Camera& camera) const;
    // Each video cell's stills rest exactly while its video plays.
    void restStillsForVideo();
    // The cells in front are watched for activity as the cameras they show.
    void followActivity();
    // An Active Cameras layout in front (roomscreen_active.cpp): its cells
    // show the cameras of those it covers that moved last, as ActiveCells
    // assigns them, and its covered cameras not in a cell are watched by
    // small hidden views of their own while it is shown and the window can
    // be seen. Follows the layout, the servers' lists and what moves.
    void followActive();
    // Keeps the hidden views to those cameras, fetching their pictures.
    void followHiddenCameras();
    void fetchHiddenCameras();

    ControlRoomHub* hub_;
    QStackedLayout* stack_;
    Side sides_[2];
    int front_ = 0;
    Shows shows_ = Shows::Nothing;
    QString name_;
    bool resting_ = false;
    PointerHider* pointer_;              // child
    ScreenSaverInhibitor* screenSaver_;  // child
    bool windowFullScreen_ = false;
    bool locked_ = false;
    LayoutHistory history_;
    bool steppingHistory_ = false;  // an undo or redo is being written

    Tour tour_;
    std::unique_ptr<TourSchedule> schedule_;
    QTimer tourTimer_;
    TourNote* tourNote_;  // child, over the walls
    QTimer tourNoteTimer_;
    QElapsedTimer tourNoteClock_;            // since the note was last shown in full
    std::optional<std::size_t> prefetched_;  // the step the back wall holds
    // Steps whose cells gave no picture while shown, skipped until then.
    std::map<std::size_t, std::int64_t> deadUntilNs_;

    // The videos playing, by cell of videoMode_'s wall; each made anew
    // when its cell is.
    struct CellVideo {
        QPointer<PreviewTouchImage> view;
        std::unique_ptr<LiveVideo> video;
    };
    std::map<int, CellVideo> videos_;
    LayoutMode* videoMode_ = nullptr;

    struct ActiveShow;
    struct ActiveShowEnd {
        void operator()(ActiveShow* show) const;
    };
    std::unique_ptr<ActiveShow, ActiveShowEnd> active_;
    QTimer videoFollow_;  // after a resize, once the cells have their sizes
};
