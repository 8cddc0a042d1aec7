// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "videoframe.h"

class CamServer;
class TouchImage;
namespace video {
class VideoPlayer;
}

// The one-camera view's live video. Where the shown camera has a video path
// and Live Video is on for its server, the camera's own video plays in the
// view in place of its still pictures; whatever ends it (no video there, a
// body that is not video, a stall, the end of the stream, a codec or a size
// refused) brings the stills back with a note on the picture that says why,
// and the video is tried again at most once a minute while the camera stays
// shown.
//
// The stills go on until the first frame, so the view never shows less than
// it did: videoStarted() tells the owner to stop them, videoEnded() to start
// them again. Main thread only.
class LiveVideo : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 60000;
    static constexpr int kPasswordWaitMs = 500;

    explicit LiveVideo(TouchImage* view, QObject* parent = nullptr);
    ~LiveVideo() override;

    // The Live Video choice for a server: on unless turned off, kept per
    // server (by its identity) in the preferences.
    static bool isOn(const CamServer& server);
    static void setOn(const CamServer& server, bool on);

    // The view shows camera k of server (its stills asked for): plays the
    // camera's video when it has one and Live Video is on for the server.
    // The same camera again goes on as it is.
    void show(const std::shared_ptr<CamServer>& server, std::int64_t k);
    // The view shows no camera of its own any more (the wall, the server
    // list open, another server's load, quit): the video stops at once.
    void stop();
    // While the window cannot be seen the video is closed; it opens again
    // when the window can be seen.
    void setResting(bool resting);
    // The video is what the view shows: the stills rest for it.
    bool isPlaying() const { return stillsResting_; }

signals:
    void videoStarted();
    void videoEnded();

private:
    void start();
    void takeFrame();
    void ended(video::VideoStatus status, const QString& detail);
    video::Target target() const;

    TouchImage* view_;  // not owned
    std::unique_ptr<video::VideoPlayer> player_;
    std::weak_ptr<CamServer> server_;
    std::int64_t camera_ = -1;
    QString videoUri_;
    bool resting_ = false;
    bool playing_ = false;        // frames came since the last start
    bool stillsResting_ = false;  // videoStarted() told, videoEnded() not yet
    QTimer retry_;
};
