// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

// How many bytes of picture answers the camera walls hold at once: those
// arriving and those kept for Save Picture, of every cell of every wall
// together. A server that pads each answer with megabytes of nothing must
// not make a page of cells hold gigabytes, however many cells there are.
//
// Each answer may have at most answerCap() bytes: the budget shared out at
// two answers a cell (the one kept and the one arriving), never below what
// the largest real still needs nor above the one-camera view's own cap. An
// answer over its cap, or one that would pass the budget, is a failed
// picture. Any thread.
class PictureBudget {
public:
    static constexpr std::size_t kDefaultBytes = std::size_t(256) << 20;
    // A 4K JPEG at the highest quality stays well under this.
    static constexpr std::size_t kMinAnswerBytes = std::size_t(8) << 20;
    static constexpr std::size_t kMaxAnswerBytes = std::size_t(32) << 20;

    explicit PictureBudget(std::size_t totalBytes = kDefaultBytes,
                           std::size_t minAnswerBytes = kMinAnswerBytes,
                           std::size_t maxAnswerBytes = kMaxAnswerBytes);
    PictureBudget(const PictureBudget&) = delete;
    PictureBudget& operator=(const PictureBudget&) = delete;

    // The walls' one budget.
    static PictureBudget& shared();

    // A cell starts or stops fetching: the answer cap follows the count.
    void addCell() { ++cells_; }
    void removeCell() { --cells_; }
    std::size_t answerCap() const;

    // Takes n bytes of the budget; false, taking nothing, when that would
    // pass the total.
    bool take(std::size_t n);
    void give(std::size_t n);
    std::size_t used() const { return used_.load(); }
    // Holds n bytes already taken until the last copy of the holder goes:
    // a kept picture carries it with its bytes.
    std::shared_ptr<const void> holder(std::size_t n);

private:
    const std::size_t total_, minAnswer_, maxAnswer_;
    std::atomic<std::size_t> used_{0};
    std::atomic<int> cells_{0};
};
