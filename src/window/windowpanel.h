// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "layout.h"

class CamServer;
class CameraPanel;
class CameraWall;
class ControlRoomHub;
class QAction;
class QDockWidget;
class QMainWindow;
class QWidget;
class RoomScreen;
class TouchImage;

// What a window shows, as its camera panel tells it.
struct PanelView {
    struct Shown {
        QString serverId;
        std::int64_t index = -1;  // in the server's list
        bool hasPicture = false;
        bool stale = false;     // as the picture's own warning says
        qint64 ageMs = 0;       // since its last picture
        bool inLayout = false;  // one of several cells
    };
    QString serverId;            // the server of what is shown; the panel opens with it
    std::vector<Shown> shown;    // every cell showing a camera
    QWidget* picture = nullptr;  // takes the keys when the search is left

    // A room screen's cells; a camera alone is not in a layout.
    static PanelView of(RoomScreen& room);
    // A server's wall page; cameraAt gives a cell's camera, -1 for none.
    static PanelView of(CameraWall& wall, const std::shared_ptr<CamServer>& server,
                        const std::function<std::int64_t(int)>& cameraAt);
    // One camera in its own view.
    static PanelView of(TouchImage& image, const std::shared_ptr<CamServer>& server,
                        std::int64_t index);
};

// A window's camera panel (View > Cameras Panel, F9): a search field and
// every server with its cameras, docked at the window's left, hidden until
// asked for; Ctrl+F shows it with the cursor in its search field. While
// shown every server's lists are loaded in the background for it, it
// follows each change of them, and once a second it tells each camera's
// state in this window, as the window's view function says. Main thread only.
class WindowPanel : public QObject {
    Q_OBJECT

public:
    using ViewOf = std::function<PanelView()>;

    // Docks itself in window; adds its toggle to the end of the menu given.
    WindowPanel(QMainWindow* window, ControlRoomHub* hub);

    // What the window shows now, asked for at each refresh.
    void setView(ViewOf view);

    QAction* action() const { return action_; }
    QAction* findAction() const { return find_; }
    CameraPanel* panel() const { return panel_; }
    void setShown(bool on);
    bool isShown() const;
    // Shows the panel and puts the cursor into its search field.
    void find();
    // Reads the servers and the window's view again.
    void refresh();

signals:
    // A camera row was opened (double click, Enter).
    void cameraActivated(const CameraRef& ref);

private:
    QMainWindow* window_;
    ControlRoomHub* hub_;
    QDockWidget* dock_;   // owned by the window
    CameraPanel* panel_;  // owned by the dock
    QAction* action_;     // owned by the window
    QAction* find_;       // owned by the window
    QTimer ticker_;       // while shown
    ViewOf view_;
};
