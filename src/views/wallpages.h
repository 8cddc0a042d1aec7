// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// How the camera wall cuts a server's cameras into pages and walks them.
// Pure arithmetic over camera positions (the position in the server's list
// is a camera's identity), so that the layout, paging and selection rules
// live in one place.
//
// A page has cells() cells in a near-square grid and shows the cameras in
// the server's order; the last page may be partly empty. Paging and moving
// the selection wrap around: after the last page comes the first.
class WallPages {
public:
    static constexpr int kDefaultCells = 4;
    static constexpr int kMostCells = 36;

    // The cells on a page for a stored cameras-per-page count: a value
    // outside 1..36 means 4; one that is not a square takes the next square
    // layout up (5 gives 9 cells), so every row of a page is full.
    static int cellsFor(std::int64_t camOnPage);
    // The grid for a count of cells: columns = ceil(sqrt(n)),
    // rows = ceil(n / columns).
    static int columnsFor(int cells);
    static int rowsFor(int cells);

    enum class Move { Left, Right, Up, Down };

    WallPages(std::int64_t cameras, std::int64_t camOnPage);

    int cells() const { return cells_; }
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    std::int64_t cameras() const { return cameras_; }
    // At least one page, an empty one when there are no cameras.
    std::int64_t pageCount() const;
    // The page that holds the camera (a camera outside the list: page 0).
    std::int64_t pageOf(std::int64_t camera) const;
    // The first camera position of a page.
    std::int64_t firstOf(std::int64_t page) const { return page * cells_; }

    // The camera selected after turning one page forward or back from the
    // page of selected: the same cell of the new page, or its last camera
    // when that cell is empty. -1 when there are no cameras.
    std::int64_t turnPage(std::int64_t selected, bool forward) const;
    // The camera selected after an arrow key: left and right step through
    // the cameras in order, up and down by a row, and leaving a page goes on
    // to the next (or previous) one, around all pages as a ring. A selection
    // outside the list starts from the first camera. -1 without cameras.
    std::int64_t move(std::int64_t selected, Move move) const;

private:
    std::int64_t clampToPage(std::int64_t page, int cell) const;

    std::int64_t cameras_;
    int cells_;
    int columns_;
    int rows_;
};
