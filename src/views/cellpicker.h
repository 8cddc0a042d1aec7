// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "layout.h"

// A small picture of a layout's cells in which a person selects a
// rectangle of the grid's slots: a drag from one slot to another, or a
// click and a shift+click. It only shows and selects; the layout is
// changed by its owner. Main thread only.
class CellPicker : public QWidget {
    Q_OBJECT

public:
    explicit CellPicker(QWidget* parent = nullptr);

    // The layout drawn; a selection outside its grid is dropped.
    void setCells(const Layout& layout);
    // The selected slots; rowSpan 0 for none.
    CellRect selection() const { return selection_; }
    void setSelection(const CellRect& chosen);

    QSize sizeHint() const override { return {200, 150}; }
    QSize minimumSizeHint() const override { return {80, 60}; }

signals:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The slot's frame on the widget, for a rectangle of slots.
    QRect frameOf(const CellRect& chosen) const;
    // The slot under a point, clamped to the grid.
    std::pair<int, int> slotAt(QPoint point) const;
    void selectTo(std::pair<int, int> slot);

    Layout layout_;
    CellRect selection_{0, 0, 0, 0};
    std::pair<int, int> anchor_{-1, -1};
};
