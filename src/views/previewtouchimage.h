// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "gesturetracker.h"
#include "touchimage.h"

// A camera picture in a cell of the camera wall. It paints as TouchImage,
// with the camera's name over its lower left corner, and keeps the right
// button's cameras menu; the other controls belong to the wall instead of
// the one-camera view: a click selects the cell, a double click opens its
// camera alone, and a horizontal swipe or wheel tilt turns the page. It takes
// no keyboard focus, so the keys reach the wall. Main thread only.
class PreviewTouchImage : public TouchImage {
    Q_OBJECT

public:
    explicit PreviewTouchImage(QWidget* parent = nullptr);

    // The camera's name, or none for an empty cell.
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }

signals:
    void pressed();
    void activated();
    void pageStep(bool forward);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void apply(GestureTracker::Step step);

    QString caption_;
    GestureTracker gestures_;
};
