// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

// Hides the mouse pointer over a widget once it has rested for kIdleMs, and
// shows it again at the next movement, click or wheel turn, for a wall or a
// tour on a screen nobody works at. The owner enables it while such a view
// fills the screen and disables it otherwise.
//
// Pointer events are watched application-wide and counted when they go to
// the watched widget's window or to the widget or any widget inside it, so
// children made later (the cells of a wall are remade as it changes) need
// no setting up. The blank pointer is the watched widget's own cursor,
// which its children show unless they set one of their own; the cursor it
// had before comes back when the pointer shows, and at the latest when the
// hider is destroyed.
class PointerHider : public QObject {
    Q_OBJECT
public:
    static constexpr int kIdleMs = 3000;

    // watched is not owned and may go first.
    explicit PointerHider(QWidget* watched, QObject* parent = nullptr);
    ~PointerHider() override;

    // Starts counting the rest (on) or shows the pointer and stops (off).
    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }
    bool isHidden() const { return hidden_; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    friend struct PointerHiderTestAccess;
    void setIdleMs(int ms) { idle_.setInterval(ms); }

    bool concernsWatched(QObject* receiver) const;
    void hide();
    void show();

    QPointer<QWidget> watched_;
    QTimer idle_;
    bool enabled_ = false;
    bool hidden_ = false;
    // The watched widget's own cursor before it was blanked; empty when it
    // had none and took its parent's.
    std::optional<QCursor> ownCursor_;
};
