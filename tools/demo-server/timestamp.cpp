// SPDX-License-Identifier: GPL-3.0-or-later
#include "timestamp.h"

#include <QPainter>

#include <algorithm>
#include <chrono>

namespace demo {

namespace {

constexpr int kBlocks = kStampBits + 2;

struct Row {
    int top, height;
};
Row rowOf(int imageHeight) {
    return {imageHeight / 8, std::max(2, imageHeight / 32)};
}

}  // namespace

std::int64_t stampClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void drawTimeStamp(QImage& image, std::int64_t msSinceEpoch) {
    const int w = image.width();
    const Row row = rowOf(image.height());
    QPainter p(&image);
    for (int block = 0; block < kBlocks; ++block) {
        bool white = block == 0;
        if (block >= 2) white = (msSinceEpoch >> (kStampBits - 1 - (block - 2))) & 1;
        const int x0 = w * block / kBlocks;
        const int x1 = w * (block + 1) / kBlocks;
        p.fillRect(x0, row.top, x1 - x0, row.height, white ? Qt::white : Qt::black);
    }
}

std::optional<std::int64_t> readTimeStamp(const QImage& image) {
    const int w = image.width();
    if (w < kBlocks || image.height() < 16) return std::nullopt;
    const Row row = rowOf(image.height());
    const int y = row.top + row.height / 2;
    // The middle of each block, away from edges that scaling and
    // compression blur.
    const auto bit = [&](int block) -> std::optional<bool> {
        const int x = (w * (2 * block + 1)) / (2 * kBlocks);
        const int grey = qGray(image.pixel(x, y));
        if (grey > 170) return true;
        if (grey < 85) return false;
        return std::nullopt;
    };
    if (bit(0) != true || bit(1) != false) return std::nullopt;
    std::int64_t value = 0;
    for (int block = 2; block < kBlocks; ++block) {
        const std::optional<bool> b = bit(block);
        if (!b) return std::nullopt;
        value = (value << 1) | (*b ? 1 : 0);
    }
    return value;
}

}  // namespace demo
