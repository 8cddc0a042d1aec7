// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CamServer;

// Asks for no pictures while the main window cannot be seen: minimised,
// hidden, or (where the window system tells) wholly covered. When it can be
// seen again, the shown camera's picture is asked for at once and the
// refresh goes on. The camera wall follows restingChanged(). Main thread
// only.
class RestWhileHidden : public QObject {
    Q_OBJECT

public:
    // window: the window to watch; currentServer: the server whose refresh
    // rests (the settings store's current one).
    RestWhileHidden(QWidget* window, std::function<std::shared_ptr<CamServer>()> currentServer,
                    QObject* parent = nullptr);

    bool resting() const { return resting_; }
    // Starts refreshing camera p of server now, or, while resting, once the
    // window can be seen again. Every start of the shown camera's refresh
    // goes through here.
    void videoCameraAtIndex(CamServer& server, std::int64_t p);
    // Ends the shown camera's refresh of server, also one that waits for
    // the window to be seen again (the camera wall takes over).
    void stopVideo(CamServer& server);
    // At quit: nothing is resumed or started from here on.
    void end();
    // While held (the current server is being edited in the server list),
    // no refresh starts, whether asked
    // for or due when the window shows again, and a refresh resting now is
    // forgotten: whoever ends the hold starts the refresh anew.
    void hold(bool held);
    bool held() const { return held_; }
    // False while the camera wall covers the one-camera view: no refresh of
    // the hidden view starts, whether asked for or due when the window shows
    // again, so that no picture is asked at its size under the wall.
    void setOneCameraShown(bool shown);

signals:
    void restingChanged(bool resting);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    void rest();
    bool windowHidden() const;

    QPointer<QWidget> window_;
    std::function<std::shared_ptr<CamServer>()> currentServer_;
    bool resting_ = false;
    bool ended_ = false;
    bool held_ = false;
    bool oneCameraShown_ = true;
    bool handleWatched_ = false;
    bool exposedOnce_ = false;
    // The server whose refresh rests and its camera, resumed only if that
    // server is still the current one.
    std::weak_ptr<CamServer> stopped_;
    std::int64_t stoppedIndex_ = 0;
};
