// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallpages.h"

#include <algorithm>

int WallPages::cellsFor(std::int64_t camOnPage) {
    if (camOnPage < 1 || camOnPage > kMostCells) return kDefaultCells;
    const int side = columnsFor(static_cast<int>(camOnPage));
    return side * side;
}

int WallPages::columnsFor(int cells) {
    int columns = 1;
    while (columns * columns < cells) ++columns;
    return columns;
}

int WallPages::rowsFor(int cells) {
    const int columns = columnsFor(cells);
    return (cells + columns - 1) / columns;
}

WallPages::WallPages(std::int64_t cameras, std::int64_t camOnPage)
    : cameras_(std::max<std::int64_t>(cameras, 0)),
      cells_(cellsFor(camOnPage)),
      columns_(columnsFor(cells_)),
      rows_(rowsFor(cells_)) {}

std::int64_t WallPages::pageCount() const {
    return std::max<std::int64_t>(1, (cameras_ + cells_ - 1) / cells_);
}

std::int64_t WallPages::pageOf(std::int64_t camera) const {
    if (camera < 0 || camera >= cameras_) return 0;
    return camera / cells_;
}

std::int64_t WallPages::clampToPage(std::int64_t page, int cell) const {
    const std::int64_t last = std::min(firstOf(page) + cells_, cameras_) - 1;
    return std::min(firstOf(page) + cell, last);
}

std::int64_t WallPages::turnPage(std::int64_t selected, bool forward) const {
    if (cameras_ == 0) return -1;
    if (selected < 0 || selected >= cameras_) selected = 0;
    const std::int64_t pages = pageCount();
    const std::int64_t page = (pageOf(selected) + (forward ? 1 : pages - 1)) % pages;
    return clampToPage(page, static_cast<int>(selected % cells_));
}

std::int64_t WallPages::move(std::int64_t selected, Move move) const {
    if (cameras_ == 0) return -1;
    if (selected < 0 || selected >= cameras_) return 0;
    const std::int64_t pages = pageCount();
    const std::int64_t page = pageOf(selected);
    const int cell = static_cast<int>(selected % cells_);
    const int column = cell % columns_;
    switch (move) {
        case Move::Right:
            return (selected + 1) % cameras_;
        case Move::Left:
            return (selected + cameras_ - 1) % cameras_;
        case Move::Down: {
            const std::int64_t below = selected + columns_;
            if (cell + columns_ < cells_ && below < cameras_) return below;
            // On to the top row of the next page, in the same column.
            return clampToPage((page + 1) % pages, column);
        }
        case Move::Up: {
            if (cell >= columns_) return selected - columns_;
            // On to the lowest camera of the same column on the previous page.
            const std::int64_t previous = (page + pages - 1) % pages;
            std::int64_t k = firstOf(previous) + (rows_ - 1) * columns_ + column;
            while (k >= cameras_ && k - columns_ >= firstOf(previous)) k -= columns_;
            return k < cameras_ ? k : clampToPage(previous, cells_ - 1);
        }
    }
    return selected;
}
