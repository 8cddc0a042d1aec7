// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <optional>

#include "videoframe.h"

namespace video {

// The hand-over between the decode thread and the view: one slot holding the
// newest frame. A frame put while the slot is full replaces the one there,
// which is never shown: a view that falls behind skips frames instead of
// showing them late, and memory stays at one frame however long nobody
// takes any.
class FrameMailbox {
public:
    // Returns true when the slot was empty (the reader has taken the last
    // frame, so a wake-up is due), false when a waiting frame was replaced.
    bool put(VideoFrame frame);
    // The newest frame, emptying the slot; nothing when no new frame came.
    std::optional<VideoFrame> take();
    // Frames replaced before anyone took them.
    std::uint64_t dropped() const;

private:
    mutable std::mutex lock_;
    std::optional<VideoFrame> slot_;
    std::uint64_t dropped_ = 0;
};

}  // namespace video
