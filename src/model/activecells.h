// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <limits>
#include <map>
#include <vector>

// Which camera each cell of an Active Cameras layout shows, from what is
// active when, on a clock the caller gives (milliseconds that never go
// back). Cameras are named by opaque keys (empty: none).
//  - A camera keeps its cell while it is active and for holdMs after.
//  - A camera newly active takes the cell of the camera quiet the longest:
//    empty cells first, then those that show their own default, each in
//    reading order, then the
//    others by how long their camera has been quiet; a cell that may change
//    now before one that may not yet. A default camera that comes back
//    takes its own cell when it is free.
//  - When more cameras are wanted than there are cells, the most recently
//    active win: those active now (the latest to start first), then those
//    held, the latest to go quiet first.
//  - Once its camera's hold ran out, a cell shows its default again.
//  - A cell changes at most once every kMinChangeMs: a change due earlier
//    waits for it (wakeMs() says when).
class ActiveCells {
public:
    static constexpr std::int64_t kMinChangeMs = 2000;
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    // defaults: each cell's own camera, shown while nothing moves.
    ActiveCells(std::vector<QString> defaults, std::int64_t holdMs);

    // The camera of key became active, or quiet, at nowMs.
    void setActive(const QString& key, bool active, std::int64_t nowMs);
    // Brings the cells up to nowMs; true when any of them changed.
    bool update(std::int64_t nowMs);

    // The camera each cell shows.
    const std::vector<QString>& cells() const { return cells_; }
    const std::vector<QString>& defaults() const { return defaults_; }
    // When update() next has something to do without a new setActive();
    // kNever when nothing.
    std::int64_t wakeMs() const { return wakeMs_; }

private:
    struct Camera {
        bool active = false;
        std::int64_t sinceMs = 0;  // when it last became active
        std::int64_t lastMs = 0;   // its last activity (now, while active)
    };
    bool wanted(const Camera& c, std::int64_t nowMs) const {
        return c.active || nowMs < c.lastMs + holdMs_;
    }

    std::vector<QString> defaults_;
    std::vector<QString> cells_;
    std::vector<std::int64_t> changedMs_;  // each cell's last change
    std::map<QString, Camera> cameras_;
    std::int64_t holdMs_;
    std::int64_t wakeMs_ = kNever;
};
