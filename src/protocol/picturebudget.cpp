// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebudget.h"

#include <algorithm>

PictureBudget::PictureBudget(std::size_t totalBytes, std::size_t minAnswerBytes,
                             std::size_t maxAnswerBytes)
    : total_(totalBytes), minAnswer_(minAnswerBytes), maxAnswer_(maxAnswerBytes) {}

PictureBudget& PictureBudget::shared() {
    // Never destroyed: a picture may be let go during static destruction.
    static auto* budget = new PictureBudget;
    return *budget;
}

std::size_t PictureBudget::answerCap() const {
    const auto cells = static_cast<std::size_t>(std::max(1, cells_.load()));
    return std::clamp(total_ / (2 * cells), minAnswer_, maxAnswer_);
}

bool PictureBudget::take(std::size_t n) {
    std::size_t used = used_.load();
    do {
        if (n > total_ || used > total_ - n) return false;
    } while (!used_.compare_exchange_weak(used, used + n));
    return true;
}

void PictureBudget::give(std::size_t n) {
    used_ -= n;
}

std::shared_ptr<const void> PictureBudget::holder(std::size_t n) {
    if (n == 0) return nullptr;
    return std::shared_ptr<const void>(nullptr, [this, n](const void*) { give(n); });
}
