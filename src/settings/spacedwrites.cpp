// SPDX-License-Identifier: GPL-3.0-or-later
#include "spacedwrites.h"

SpacedWrites::SpacedWrites(std::chrono::milliseconds spacing, std::function<void()> write)
    : spacing_(spacing), write_(std::move(write)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { write_(); });
}

void SpacedWrites::soon() {
    if (pending()) return;  // the write to come takes this change too
    const auto since = std::chrono::steady_clock::now() - lastWrite_;
    if (since >= spacing_) {
        write_();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(spacing_ - since);
    timer_.start(static_cast<int>(wait.count()));
}

void SpacedWrites::writing() {
    timer_.stop();
    lastWrite_ = std::chrono::steady_clock::now();
}
