// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "rewindstore.h"
#include "videoframe.h"

namespace video {

class FrameMailbox;

// Plays one camera's live video on a thread of its own: connects, decodes,
// scales each frame to the view's size and leaves the newest in a one-slot
// mailbox for the main thread to take.
//
// Use, on the main thread: play() with the camera's source; on frameReady()
// take the newest frame with takeFrame() and show it; on ended() fall back
// to the camera's still pictures. setTarget() when the view's size or zoom
// changes. stop() (or the destructor) returns at once, whatever the stream
// does: it never waits for the decode thread, which owns all it uses, ends
// by itself at its next read or wait, and is joined off the main thread.
class VideoPlayer : public QObject {
    Q_OBJECT

public:
    // Where the video comes from, checked: the address is that of the
    // server the user typed, the path one that cannot change it.
    struct Source {
        std::string host, port, path;
        std::string authorization;  // "Basic ..." (never logged)
    };
    // The source for a camera's `videoUri` on a server, or nothing when the
    // host, port or path fail ServerUrl's checks (the same that picture
    // paths pass): such a path is never requested.
    static std::optional<Source> source(const QString& host, const QString& port,
                                        const QString& videoUri, const QString& login,
                                        const QString& password);

    explicit VideoPlayer(QObject* parent = nullptr);
    ~VideoPlayer() override;

    // Stops what plays and starts `source` (nothing: reports RefusedAddress).
    // keep, when given, gets what arrives (VideoDecoder::Keep), on the decode
    // thread: it must be safe to call from there.
    void play(const std::optional<Source>& source, Target target,
              std::function<void(RewindStore::Part&&)> keep = {});
    // Stops the decode thread and drops its frame; no ended() follows.
    void stop();
    void setTarget(Target target);

    // The newest frame not yet taken, if any.
    std::optional<VideoFrame> takeFrame();
    bool isPlaying() const { return run_ && !endedSeen_; }
    // Frames of this play() the view never took because a newer one
    // replaced them.
    std::uint64_t droppedFrames() const;

    // Stops every decode thread of the process and joins them: at the end of
    // the process, on the main thread, after the event loop (it also runs by
    // itself when the application object goes). Later play() calls start
    // threads again.
    static void joinDecodeThreads();

signals:
    // A frame waits in the mailbox (sent once until it is taken).
    void frameReady();
    // The video ended for `status` (never Stopped or Playing); `detail`
    // says more for the log. Show the still pictures instead.
    void ended(video::VideoStatus status, const QString& detail);

private:
    struct Run;
    static void decodeThread(std::shared_ptr<Run> run, Source source, std::uint64_t generation,
                             std::weak_ptr<VideoPlayer*> self);
    void report(std::uint64_t generation, VideoStatus status, const QString& detail);

    std::shared_ptr<Run> run_;
    // A new one for each play(): a thread that was told to stop may still
    // put a frame into its own.
    std::shared_ptr<FrameMailbox> mailbox_;
    std::uint64_t generation_ = 0;
    // The decode thread's reports hold it weakly: none reaches a player
    // that has gone.
    std::shared_ptr<VideoPlayer*> self_ = std::make_shared<VideoPlayer*>(this);
    bool endedSeen_ = false;
};

}  // namespace video
