// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellpicker.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CellPicker::CellPicker(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::ClickFocus);
}

void CellPicker::setCells(const Layout& layout) {
    layout_ = layout;
    const CellRect& s = selection_;
    if (s.rowSpan > 0 &&
        (s.row + s.rowSpan > layout.rows || s.column + s.columnSpan > layout.columns)) {
        selection_ = {0, 0, 0, 0};
        anchor_ = {-1, -1};
        emit selectionChanged();
    }
    update();
}

void CellPicker::setSelection(const CellRect& chosen) {
    selection_ = chosen;
    anchor_ = chosen.rowSpan > 0 ? std::pair(chosen.row, chosen.column) : std::pair(-1, -1);
    update();
    emit selectionChanged();
}

QRect CellPicker::frameOf(const CellRect& chosen) const {
    const int rows = std::max(layout_.rows, 1), columns = std::max(layout_.columns, 1);
    const auto x = [&](int c) { return c * (width() - 1) / columns; };
    const auto y = [&](int r) { return r * (height() - 1) / rows; };
    // drawRect() draws a frame's right and bottom lines one past them: on
    // the next cell's first line, and the grid's last one inside the widget.
    return QRect(
        QPoint(x(chosen.column), y(chosen.row)),
        QPoint(x(chosen.column + chosen.columnSpan) - 1, y(chosen.row + chosen.rowSpan) - 1));
}

std::pair<int, int> CellPicker::slotAt(QPoint point) const {
    const int rows = std::max(layout_.rows, 1), columns = std::max(layout_.columns, 1);
    const int r = point.y() * rows / std::max(height(), 1);
    const int c = point.x() * columns / std::max(width(), 1);
    return {std::clamp(r, 0, rows - 1), std::clamp(c, 0, columns - 1)};
}

void CellPicker::selectTo(std::pair<int, int> slot) {
    const auto [r0, c0] = anchor_;
    const auto [r1, c1] = slot;
    const CellRect wanted{std::min(r0, r1), std::min(c0, c1), std::abs(r1 - r0) + 1,
                          std::abs(c1 - c0) + 1};
    if (wanted == selection_) return;
    selection_ = wanted;
    update();
    emit selectionChanged();
}

void CellPicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const std::pair<int, int> slot = slotAt(event->position().toPoint());
    // Shift extends the selection from where it began; a plain press starts anew.
    if (!(event->modifiers() & Qt::ShiftModifier) || anchor_.first < 0) anchor_ = slot;
    selectTo(slot);
}

void CellPicker::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && anchor_.first >= 0)
        selectTo(slotAt(event->position().toPoint()));
}

void CellPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.base());
    if (selection_.rowSpan > 0)
        painter.fillRect(frameOf(selection_), colours.color(QPalette::Highlight).lighter(150));
    painter.setPen(colours.color(QPalette::Text));
    for (int i = 0; i < layout_.cellCount(); ++i) {
        const QRect frame = frameOf(layout_.rectOf(i));
        painter.drawRect(frame);
        const auto& camera = static_cast<std::size_t>(i) < layout_.cells.size()
                                 ? layout_.cells[static_cast<std::size_t>(i)]
                                 : std::nullopt;
        if (!camera) continue;
        const QString name = camera->cameraName.isEmpty() ? camera->cameraUri : camera->cameraName;
        const QRect inside = frame.adjusted(3, 2, -3, -2);
        painter.drawText(inside, Qt::AlignCenter,
                         painter.fontMetrics().elidedText(name, Qt::ElideRight, inside.width()));
    }
}
