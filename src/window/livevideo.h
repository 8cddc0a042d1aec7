// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
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
// refused) brings the stills back with a note on the picture that says why.
//
// When it ended because the server stopped answering (no connection, a
// stall, the stream's end) it is tried again as soon as the server is seen
// back: the first still picture that arrives after the end, the lists
// arriving again, or serverBack(). Tries that end again soon are kept at
// least 2 s apart, a gap that doubles with each such try up to a minute, so
// that a server that takes and drops connections at once gets no storm of
// them. A server that answered with something that is not video it can play
// (a page, a codec or a size refused, an address not the server's) is asked
// again once a minute. Either way, once a minute at the latest while the
// camera stays shown.
//
// The stills go on until the first frame, so the view never shows less than
// it did: videoStarted() tells the owner to stop them, videoEnded() to start
// them again. Main thread only.
class LiveVideo : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 60000;
    static constexpr int kPasswordWaitMs = 500;
    // The least gap between two tries after the server ended a video, and
    // how long a video must play for the gap to start from it again.
    static constexpr int kFirstGapMs = 2000;
    static constexpr int kSteadyMs = 10000;

    // view: where the frames go; a view that goes (a wall's cells made
    // anew) gets nothing more, and the video stays stopped.
    explicit LiveVideo(TouchImage* view, QObject* parent = nullptr);
    ~LiveVideo() override;

    // The Live Video choice for a server: on unless turned off, kept per
    // server (by its identity) in the preferences.
    static bool isOn(const CamServer& server);
    static void setOn(const CamServer& server, bool on);
    // Whether camera k of server would play: it has a video path, and Live
    // Video is on for its server.
    static bool wants(const CamServer& server, std::int64_t k);

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
    // The server takes connections again (its probe saw it): a video that
    // the server ended is tried again, after the gap.
    void serverBack();
    // The video is what the view shows: the stills rest for it.
    bool isPlaying() const { return stillsResting_; }

signals:
    void videoStarted();
    void videoEnded();

private:
    void start();
    void takeFrame();
    void ended(video::VideoStatus status, const QString& detail);
    int gapMs() const;
    video::Target target() const;

    QPointer<TouchImage> view_;  // not owned
    std::unique_ptr<video::VideoPlayer> player_;
    std::weak_ptr<CamServer> server_;
    std::int64_t camera_ = -1;
    QString videoUri_;
    QString keepKey_;  // the camera's key for what the viewer keeps of it
    bool resting_ = false;
    bool playing_ = false;        // frames came since the last start
    bool stillsResting_ = false;  // videoStarted() told, videoEnded() not yet
    bool placingFrame_ = false;   // the view's picture is this video's own frame
    // The server ended the video (it stopped answering): the next sign of
    // it brings the next try forward.
    bool waitingForServer_ = false;
    int shortTries_ = 0;    // tries in a row that the server ended before kSteadyMs
    QElapsedTimer tried_;   // since the last try went out
    QElapsedTimer played_;  // since the last try's first frame
    QTimer retry_;
};
