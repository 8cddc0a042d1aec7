// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rewindstore.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace video {

// Writing what the rewind store kept of one camera to a file, without
// decoding: H.264 and H.265 packets remuxed into MP4, other video codecs into
// Matroska, stills as Motion JPEG in Matroska (each still one frame at its
// arrival time). A clip plays from the asked start: the still shown then
// is its first picture, from 0; an MP4 begins at the key frame before the
// start, whose pictures up to it are decoded but not shown (negative times,
// an edit list). Matroska cannot hold those, so other video starts at its
// key frame.

struct ClipResult {
    enum class Status { Written, Cancelled, NothingKept, Failed } status = Status::Failed;
    QString path;   // Written: the file made
    QString error;  // Failed: why, in words for the person
    int frames = 0;
    qint64 startMs = 0, endMs = 0;  // arrival times the file covers
    qint64 fromMs = 0;              // the moment the clip plays from (its time 0)
    // The camera changed its picture (the video's codec or size, or from
    // video to stills or back): the file ends there. Stills of another size
    // stay in the file: each is a picture of its own.
    bool cutAtChange = false;
};

// What a clip of [from, to] would be: the moment it plays from (see
// ClipResult::fromMs) and the file suffix ("mp4" or "mkv"). None when
// nothing is kept then.
struct ClipPlan {
    qint64 startMs = 0;
    QString suffix;
};
std::optional<ClipPlan> planClip(const RewindStore& store, const QString& camera, qint64 from,
                                 qint64 to);

// "Server - Camera 2026-12-07 23-41-07.mp4" (no suffix when empty). The
// names come from servers: characters a file name cannot or should not hold
// become '_', each name is trimmed and cut short, and an empty one becomes
// "Server" or "Camera".
QString clipFileName(const QString& serverName, const QString& cameraName, const QDateTime& start,
                     const QString& suffix);

// Writes the clip into `folder` as baseName + "." + suffix, or, when that
// exists, "baseName (2).suffix" and on: an existing file is never replaced.
// The file appears whole or not at all. `progress` (may be empty) is called
// now and then with the part done (0..1) and cancels when it returns false.
ClipResult writeClip(const RewindStore& store, const QString& camera, qint64 from, qint64 to,
                     const QString& folder, const QString& baseName,
                     const std::function<bool(double)>& progress);

}  // namespace video
