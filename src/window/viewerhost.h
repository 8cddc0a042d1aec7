// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

#include "layout.h"

class CamServer;
class ControlRoomHub;
class QImage;
class QWidget;
class TouchImage;

// What a window asks of the viewer process: everything there is one of per
// viewer (the layouts and the servers' lists through the hub, the server
// list dialog, the saver of pictures, the one microphone that plays, the
// other windows, quitting). A window reaches the process only through this,
// never through the application controller's own members. Main thread only.
class ViewerHost {
public:
    virtual ~ViewerHost() = default;

    virtual ControlRoomHub* hub() const = 0;

    // Save Picture: view's last picture as it came, into the pictures
    // folder; a note over view says where it went or why not.
    virtual void savePicture(TouchImage* view) = 0;
    // The server list dialog, one for the whole viewer.
    virtual void editServerList() = 0;
    // Zorvan > Preferences…, over window.
    virtual void editPreferences(QWidget* window) = 0;
    // View > Activity Settings… over window: camera's sensitivity and
    // ignore zones, drawn on picture (its last one); accepted, they go into
    // the room for every window.
    virtual void editActivity(QWidget* window, const CameraRef& camera, const QImage& picture) = 0;
    // Edit Layouts over window, selected (if any) chosen in it.
    virtual void editLayouts(QWidget* window, const QString& selected) = 0;
    // Asks for a name over window and keeps layout under it; the name
    // given, or empty when the person cancelled.
    virtual QString saveLayout(QWidget* window, Layout layout, const QString& suggested) = 0;
    virtual void openWindow() = 0;
    virtual void quit() = 0;

    // The sound: one microphone plays at a time. Listen in window plays
    // camera k of server there (false: the camera has none, or its server
    // rests for the server list), taking the sound from wherever it was;
    // the window that had it is told by its soundTaken().
    virtual bool listen(QWidget* window, const std::shared_ptr<CamServer>& server,
                        std::int64_t k) = 0;
    // Ends window's sound; nothing when another window has it.
    virtual void stopListening(QWidget* window) = 0;
    // How the stream stands, for the listening window's status line.
    virtual QString soundStatus() const = 0;
    // The volume, 0 to 100, the same in every window.
    virtual int volume() const = 0;
    virtual void setVolume(int value) = 0;
};
