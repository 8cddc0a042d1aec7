// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

class QPainter;
class QRect;

// A short note over the picture, such as where a saved picture went or why
// it could not be saved: shown at once, fading away after a few seconds. A
// new note replaces the one shown. Main thread only; repaint is called
// whenever what paint() draws changes.
class PictureNote {
public:
    static constexpr int kShownMs = 4000;
    static constexpr int kFadeMs = 800;

    explicit PictureNote(std::function<void()> repaint);

    void show(const QString& text);
    // The note while it is shown, empty once it has faded.
    const QString& text() const { return text_; }

    // Draws the note across the top of area.
    void paint(QPainter& painter, const QRect& area) const;

private:
    void tick();
    double opacity() const;

    std::function<void()> repaint_;
    QString text_;
    QElapsedTimer clock_;
    QTimer timer_;
};
