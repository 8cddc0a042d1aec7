// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

#include "layout.h"

class QAction;
class QGridLayout;
class QMenu;
class QMimeData;
class TouchView;

// The camera wall: one page of camera cells (TouchView) in a grid, a cell
// covering one slot of it or a rectangle of slots, one of them selected. It only lays out and
// reports; which camera a cell shows, the paging and the pictures are the application's.
//
// Reports: a click on a cell, a double click or Enter (the selected cell's
// camera alone), a swipe or wheel tilt (a page step), the arrow keys, and
// Escape and F (full screen). The right button opens the cameras menu, with
// Save Picture for the cell's picture when the window offers it.
//
// With cell dragging on (a wall of a layout, off for a server's wall), a
// left-button press moved on a cell drags that cell, and the cells take
// drops: a camera (cameradrag::kCameraMime) dropped on a cell is reported
// by cameraDropped(), a cell of this same wall by cellsSwapped(). The cell
// under a drag is framed. The wall changes no cell itself.
//
// A wall of one cell (a camera shown alone) zooms that cell as the
// one-camera view zooms: the + - = and 0 keys (the keypad's too) on the
// wall, Ctrl+wheel and a pinch on the cell, and a drag while zoomed pans.
// The cell is made anew for any other grid, so its zoom never outlives it;
// showing another camera in it returns to 1x as well (TouchImage). A grid
// of several cells does not zoom. Main thread only.
class CameraWall : public QWidget {
    Q_OBJECT

public:
    explicit CameraWall(QWidget* parent = nullptr);

    // Lays out cells cells (1 or more) in columns, each a slot of the grid;
    // the cells are made anew only when their count or columns change. A
    // lone cell is zoomable.
    void setGrid(int cells, int columns);
    // Lays out a cell on each of rects, which cover a rows x columns grid
    // exactly (Layout::tiles; an empty or other list is the even grid),
    // each as large as its slots; made anew only when the grid changes.
    void setGrid(int rows, int columns, const std::vector<CellRect>& rects);
    int cellCount() const { return static_cast<int>(cells_.size()); }
    int columns() const { return columns_; }
    TouchView* cell(int i) const { return cells_.at(static_cast<size_t>(i)); }
    // Each cell's rectangle of the grid, in the order of the cells.
    const std::vector<CellRect>& cellRects() const { return rects_; }
    // The cell beside cell in the direction of an arrow key; -1 for none.
    int neighbour(int cell, int key) const { return neighbourCell(rects_, cell, key); }
    // The cell at a point of the wall; -1 for none.
    int cellAt(QPointF point) const;

    // The cell drawn selected; -1 for none.
    void setSelectedCell(int cell);
    int selectedCell() const { return selected_; }

    // The cameras menu (not owned) opened by the right button on a cell.
    void setCamerasMenu(QMenu* menu);
    // The window's Save Picture item (not owned), offered in each cell's
    // context menu for that cell's picture.
    void setSaveAction(QAction* save);

    void setCellDragging(bool on);
    bool cellDragging() const { return cellDragging_; }
    // A text centred in a cell, for one with nothing to show and a reason
    // ("Server removed"); empty for none. Kept until the grid is made anew.
    void setCellNote(int cell, const QString& note);

    QSize sizeHint() const override { return {640, 480}; }

signals:
    void cellPressed(int cell);
    void cellActivated(int cell);
    void pageStep(bool forward);
    void arrowKey(int key);
    void escapePressed();
    void fullScreenKey();
    // Save Picture chosen from the context menu of a cell.
    void saveRequested(int cell);
    // The selected cell, or whether its picture can be saved, changed.
    void selectedPictureChanged();
    // A camera was dropped on a cell (cell dragging on).
    void cameraDropped(int cell, const CameraRef& ref);
    // Cell from was dropped on cell to (cell dragging on); from != to.
    void cellsSwapped(int from, int to);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Whether the wall takes what a drag carries at all.
    bool takes(const QMimeData* data) const;
    void showDropTarget(int cell);
    void dragCell(int cell);

    QGridLayout* grid_;
    std::vector<TouchView*> cells_;  // children
    std::vector<CellRect> rects_;    // of cells_
    int columns_ = 1;
    int selected_ = -1;
    QPointer<QMenu> camerasMenu_;
    QPointer<QAction> saveAction_;
    bool cellDragging_ = false;
};
