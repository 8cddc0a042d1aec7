// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// How far the one-camera picture is zoomed in and which part of it shows.
// The part is a rectangle of the picture in fractions of its width and
// height (the whole picture is 0, 0, 1, 1), so it stays the same part when a
// sharper picture of the same scene arrives. Zooming keeps the point under
// the cursor where it is; panning never shows anything beyond the picture.
class ZoomState {
public:
    static constexpr double kMaxFactor = 8.0;
    // The largest side a zoomed picture is asked for at.
    static constexpr int kMaxAskedSide = 4096;

    double factor() const { return factor_; }
    bool zoomed() const { return factor_ > 1.0; }
    // The shown part of the picture.
    QRectF visible() const { return visible_; }

    // Zooms to factor (kept within 1 to kMaxFactor) about at, a point of
    // the picture's own area in fractions (0..1 each way).
    void zoomAt(double factor, QPointF at);
    // Moves the shown part by a distance in fractions of the shown part
    // (a drag across the whole view moves by one shown part), within the
    // picture.
    void pan(QPointF byFraction);
    // Back to the whole picture.
    void reset();

    // The picture size to ask for: the view's device pixels times the
    // factor, at most kMaxAskedSide a side with the view's aspect kept.
    QSize askedSize(QSize viewPixels) const;

private:
    void clampInside();

    double factor_ = 1.0;
    QRectF visible_{0, 0, 1, 1};
};
