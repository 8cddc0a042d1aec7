// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

#include <chrono>
#include <functional>

// Spaces out the writes of a file whose changes may come in quick
// succession (a held arrow key steps cameras some 30 times a second): a
// change asked to be written soon is written at once when the last write is
// a spacing old or more, otherwise when the spacing has passed. Changes that
// keep coming are so written at most once a spacing, and the last one is in
// the file within a spacing. Main thread, with an event loop.
class SpacedWrites {
public:
    SpacedWrites(std::chrono::milliseconds spacing, std::function<void()> write);

    // A change to write soon.
    void soon();
    // Whoever writes calls this as it does: a write waiting for its turn is
    // taken with it, and the spacing counts from now.
    void writing();
    // A write is waiting for its turn.
    bool pending() const { return timer_.isActive(); }

private:
    const std::chrono::milliseconds spacing_;
    const std::function<void()> write_;
    QTimer timer_;
    std::chrono::steady_clock::time_point lastWrite_{};
};
