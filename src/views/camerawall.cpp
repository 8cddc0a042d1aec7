// SPDX-License-Identifier: GPL-3.0-or-later
#include "camerawall.h"

#include "cameradrag.h"
#include "previewtouchimage.h"
#include "touchview.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>

CameraWall::CameraWall(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(0);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    setPalette(dark);
    setGrid(1, 1);
}

void CameraWall::setGrid(int cells, int columns) {
    cells = std::max(cells, 1);
    columns = std::clamp(columns, 1, cells);
    std::vector<CellRect> rects;
    for (int i = 0; i < cells; ++i) rects.push_back({i / columns, i % columns, 1, 1});
    setGrid((cells + columns - 1) / columns, columns, rects);
}

void CameraWall::setGrid(int rows, int columns, const std::vector<CellRect>& wanted) {
    rows = std::max(rows, 1);
    columns = std::max(columns, 1);
    std::vector<CellRect> rects = wanted;
    if (rects.empty() || !Layout::tiles(rows, columns, rects)) {
        // The even grid: a last row may be short (a wall page of fewer cells).
        const int cells = rects.empty() ? rows * columns : static_cast<int>(rects.size());
        rects.clear();
        for (int i = 0; i < std::max(cells, 1); ++i)
            rects.push_back({i / columns, i % columns, 1, 1});
    }
    if (rects == rects_ && columns == columns_) return;
    for (TouchView* cell : cells_) delete cell;
    cells_.clear();
    rects_ = rects;
    selected_ = -1;
    columns_ = columns;
    const int cells = static_cast<int>(rects.size());
    for (int r = 0; r < grid_->rowCount(); ++r) grid_->setRowStretch(r, 0);
    for (int c = 0; c < grid_->columnCount(); ++c) grid_->setColumnStretch(c, 0);
    int usedRows = 1;
    for (int i = 0; i < cells; ++i) {
        auto* cell = new TouchView(this);
        PreviewTouchImage* image = cell->imageView();
        image->setCamerasMenu(camerasMenu_);
        image->setSaveAction(saveAction_);
        connect(image, &TouchImage::saveRequested, this, [this, i] { emit saveRequested(i); });
        connect(image, &TouchImage::savableChanged, this, [this, i] {
            if (i == selected_) emit selectedPictureChanged();
        });
        connect(image, &PreviewTouchImage::pressed, this, [this, i] {
            setFocus(Qt::MouseFocusReason);  // the keys then move from this cell
            emit cellPressed(i);
        });
        connect(image, &PreviewTouchImage::activated, this, [this, i] { emit cellActivated(i); });
        connect(image, &PreviewTouchImage::pageStep, this, &CameraWall::pageStep);
        image->setDragEnabled(cellDragging_);
        image->setZoomable(cells == 1);
        connect(image, &PreviewTouchImage::dragRequested, this, [this, i] { dragCell(i); });
        cell->setMinimumSize(2 * TouchView::kInset + 8, 2 * TouchView::kInset + 6);
        cell->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        const CellRect& at = rects[static_cast<size_t>(i)];
        grid_->addWidget(cell, at.row, at.column, at.rowSpan, at.columnSpan);
        usedRows = std::max(usedRows, at.row + at.rowSpan);
        cells_.push_back(cell);
    }
    // Every slot the same size, whatever its picture: a cell of 2x2 slots is
    // four times one of a slot.
    for (int r = 0; r < usedRows; ++r) grid_->setRowStretch(r, 1);
    for (int c = 0; c < columns; ++c) grid_->setColumnStretch(c, 1);
    emit selectedPictureChanged();
}

void CameraWall::setSelectedCell(int cell) {
    if (cell < 0 || cell >= cellCount()) cell = -1;
    const bool changed = cell != selected_;
    selected_ = cell;
    if (changed) emit selectedPictureChanged();
    for (int i = 0; i < cellCount(); ++i) cells_[static_cast<size_t>(i)]->setSelected(i == cell);
}

void CameraWall::setCamerasMenu(QMenu* menu) {
    camerasMenu_ = menu;
    for (TouchView* cell : cells_) cell->imageView()->setCamerasMenu(menu);
}

void CameraWall::setSaveAction(QAction* save) {
    saveAction_ = save;
    for (TouchView* cell : cells_) cell->imageView()->setSaveAction(save);
}

void CameraWall::keyPressEvent(QKeyEvent* event) {
    // A camera alone zooms as in the one-camera view; several cells do not.
    if (cellCount() == 1 && cells_.front()->imageView()->zoomKey(*event)) return;
    const Qt::KeyboardModifiers mods =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
                emit arrowKey(event->key());
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (selected_ >= 0) emit cellActivated(selected_);
                return;
            case Qt::Key_Escape:
                emit escapePressed();
                return;
            case Qt::Key_F:
            case Qt::Key_F11:
                emit fullScreenKey();
                return;
            default:
                break;
        }
    }
    QWidget::keyPressEvent(event);
}

void CameraWall::setCellDragging(bool on) {
    cellDragging_ = on;
    setAcceptDrops(on);
    for (TouchView* cell : cells_) cell->imageView()->setDragEnabled(on);
    if (!on) showDropTarget(-1);
}

void CameraWall::setCellNote(int cell, const QString& note) {
    if (cell >= 0 && cell < cellCount())
        cells_[static_cast<size_t>(cell)]->imageView()->setNote(note);
}

int CameraWall::cellAt(QPointF point) const {
    for (int i = 0; i < cellCount(); ++i)
        if (cells_[static_cast<size_t>(i)]->geometry().contains(point.toPoint())) return i;
    return -1;
}

bool CameraWall::takes(const QMimeData* data) const {
    return cellDragging_ && data &&
           (cameradrag::camera(*data) || cameradrag::cell(*data, this).has_value());
}

void CameraWall::showDropTarget(int cell) {
    for (int i = 0; i < cellCount(); ++i) cells_[static_cast<size_t>(i)]->setDropTarget(i == cell);
}

void CameraWall::dragCell(int cell) {
    if (!cellDragging_ || cell < 0 || cell >= cellCount()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(cameradrag::cellData(this, cell).release());
    // The cell's picture, small, under the pointer.
    const QPixmap shot = cells_[static_cast<size_t>(cell)]->grab();
    if (!shot.isNull()) drag->setPixmap(shot.scaledToWidth(std::min(shot.width(), 160)));
    drag->exec(Qt::MoveAction);  // runs until the drop; the drop is reported by dropEvent()
}

void CameraWall::dragEnterEvent(QDragEnterEvent* event) {
    if (!takes(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    showDropTarget(cellAt(event->position()));
}

void CameraWall::dragMoveEvent(QDragMoveEvent* event) {
    const int cell = takes(event->mimeData()) ? cellAt(event->position()) : -1;
    showDropTarget(cell);
    if (cell < 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CameraWall::dragLeaveEvent(QDragLeaveEvent* event) {
    showDropTarget(-1);
    event->accept();
}

void CameraWall::dropEvent(QDropEvent* event) {
    showDropTarget(-1);
    const int to = cellDragging_ ? cellAt(event->position()) : -1;
    const QMimeData* data = event->mimeData();
    if (to < 0 || !data) {
        event->ignore();
        return;
    }
    if (const std::optional<int> from = cameradrag::cell(*data, this)) {
        event->acceptProposedAction();
        if (*from != to && *from < cellCount()) emit cellsSwapped(*from, to);
    } else if (const std::optional<CameraRef> ref = cameradrag::camera(*data)) {
        event->acceptProposedAction();
        emit cameraDropped(to, *ref);
    } else {
        event->ignore();
    }
}
