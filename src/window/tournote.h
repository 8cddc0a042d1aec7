// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

// The tour's step, its place and its time, drawn as the pictures' notes are:
// white on a dark box, at the top of the screen. Clicks go through it.
class TourNote : public QWidget {
public:
    explicit TourNote(QWidget* parent);

    // Shows text at opacity (0..1), in front of the walls.
    void set(const QString& text, double opacity);

    // Top centre of the screen, as large as its lines.
    void place();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    double opacity_ = 1.0;
};
