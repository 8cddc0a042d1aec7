// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QString>

#include <optional>

#include "gesturetracker.h"
#include "touchimage.h"

// A camera picture in a cell of the camera wall. It paints as TouchImage,
// with the camera's name over its lower left corner, and keeps the right
// button's cameras menu; the other controls belong to the wall instead of
// the one-camera view: a click selects the cell, a double click opens its
// camera alone, and a horizontal swipe or wheel tilt turns the page. It takes
// no keyboard focus, so the keys reach the wall. With dragging enabled, a
// left-button press moved past the platform's drag distance asks for a drag
// of the cell (the wall makes it); a touch-pad swipe, which comes as wheel
// events, still turns the page.
//
// Zoomable (a camera shown alone in the wall), it zooms as the one-camera
// view does: Ctrl+wheel and a pinch at the pointer, the wall's zoom keys
// through zoomKey(), and a left-button drag while zoomed pans the picture
// instead of dragging the cell. Main thread only.
class PreviewTouchImage : public TouchImage {
    Q_OBJECT

public:
    explicit PreviewTouchImage(QWidget* parent = nullptr);

    // A text centred in the cell in the stale-picture warning's look, for
    // a cell without a picture to show (its camera or server gone); empty
    // for none.
    void setNote(const QString& note);
    const QString& note() const { return note_; }

    // Whether a press-and-move emits dragRequested(); off by default.
    void setDragEnabled(bool on) { dragEnabled_ = on; }

    // Whether the pointer zooms and pans the picture; off by default.
    // Turning it off returns to the whole picture.
    void setZoomable(bool on);
    bool zoomable() const { return zoomable_; }

signals:
    void pressed();
    void activated();
    void pageStep(bool forward);
    // A left-button press moved far enough to start a drag (once a press).
    void dragRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void apply(GestureTracker::Step step);

    QString note_;
    GestureTracker gestures_;
    bool dragEnabled_ = false;
    bool zoomable_ = false;
    std::optional<QPointF> dragFrom_;  // the left-button press that may start a drag
    std::optional<QPointF> panFrom_;   // where the last pan step left the pointer (global)
};
