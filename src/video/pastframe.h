// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "videoframe.h"

class RewindStore;

namespace video {

// What a view shows of a camera at a moment gone by.
struct Past {
    QImage image;     // Format_RGB32, fitted into the asked size
    qint64 time = 0;  // when the part shown arrived (ms since the epoch)
    QByteArray jpeg;  // a still: its bytes as the server sent them, for Save Picture
    // Video: the decoded picture at the stream's own size, made when called
    // (on any thread), for Save Picture. Empty for a still.
    std::function<QImage()> full;
};

// Makes the pictures of one camera's kept past for one view: a still is
// decoded at the view's size, a video is decoded from the key frame at or
// before the moment up to the moment. Going forward within one key frame's
// group decodes only what came after the picture shown last, so that playing
// costs one packet a picture; the same part again costs nothing.
//
// What the store holds came from a server: a damaged still, packet or
// configuration shows nothing (nullopt), never more. Only H.264 and H.265 are
// decoded, within sizeAllowed().
//
// One per view; used on one thread at a time.
class PastDecoder {
public:
    PastDecoder();
    ~PastDecoder();
    PastDecoder(const PastDecoder&) = delete;
    PastDecoder& operator=(const PastDecoder&) = delete;

    // What shows `camera` at `t` fitted into `target`; nullopt when nothing
    // is kept for that time or it cannot be decoded.
    std::optional<Past> show(const RewindStore& store, const QString& camera, qint64 t,
                             Target target);

private:
    struct Video;
    std::optional<Past> still(const QString& camera, qint64 time, const QByteArray& bytes,
                              const Target& target);

    // The still shown last, to give it again without decoding.
    struct Shown {
        QString camera;
        qint64 time = -1;
        Target target;
        Past past;
    };
    Shown still_;
    std::unique_ptr<Video> video_;
};

}  // namespace video
