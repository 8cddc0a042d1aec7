// SPDX-License-Identifier: GPL-3.0-or-later
#include "framemailbox.h"

namespace video {

bool FrameMailbox::put(VideoFrame frame) {
    // The replaced frame is freed after the lock is let go.
    std::optional<VideoFrame> old;
    std::lock_guard lock(lock_);
    const bool wasEmpty = !slot_;
    if (!wasEmpty) ++dropped_;
    old.swap(slot_);
    slot_ = std::move(frame);
    return wasEmpty;
}

std::optional<VideoFrame> FrameMailbox::take() {
    std::lock_guard lock(lock_);
    std::optional<VideoFrame> frame;
    frame.swap(slot_);
    return frame;
}

std::uint64_t FrameMailbox::dropped() const {
    std::lock_guard lock(lock_);
    return dropped_;
}

QString statusText(VideoStatus status) {
    switch (status) {
        case VideoStatus::Playing:
            return QStringLiteral("playing");
        case VideoStatus::Stopped:
            return QStringLiteral("stopped");
        case VideoStatus::RefusedAddress:
            return QStringLiteral("refused address");
        case VideoStatus::ConnectionFailed:
            return QStringLiteral("connection failed");
        case VideoStatus::NotVideo:
            return QStringLiteral("not video");
        case VideoStatus::CodecUnavailable:
            return QStringLiteral("codec not available");
        case VideoStatus::RefusedSize:
            return QStringLiteral("refused size");
        case VideoStatus::Stalled:
            return QStringLiteral("stalled");
        case VideoStatus::Ended:
            return QStringLiteral("ended");
    }
    return {};
}

}  // namespace video
