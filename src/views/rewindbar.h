// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

// "23:41:07, 0:42 ago": the moment in local time and how long before `now`
// it was (m:ss, or h:mm:ss from an hour on). Times in ms since the epoch.
QString rewindMomentText(qint64 moment, qint64 now);

// The timeline strip laid over the bottom of a window's picture while it goes
// back in time: what is kept of the camera as a track from the oldest kept
// moment to now ("Live" at its right end), the activity seen in that span,
// the moment shown as a cursor, and the range marked for a clip. On its left,
// the moment shown ("Live" when live) and whether it plays.
//
// Pressing or dragging on the track chooses a moment; pressing on a clip
// handle drags that handle; pressing right of the newest end goes live. The
// bar shows a chosen moment or clip at once; the owner may set it again.
// Times are ms since the epoch. Main thread only.
class RewindBar : public QWidget {
    Q_OBJECT

public:
    explicit RewindBar(QWidget* parent = nullptr);

    // The kept span; without one the bar says that nothing is kept.
    void setSpan(qint64 first, qint64 now);
    void clearSpan();
    // Activity, each a [from, to] range.
    void setMarks(std::vector<std::pair<qint64, qint64>> marks);
    // None: live.
    void setMoment(std::optional<qint64> moment);
    void setPlaying(bool playing);
    void setSpeed(double speed);
    void setClip(qint64 from, qint64 to);
    void clearClip();

    std::optional<qint64> moment() const { return moment_; }

    // The time under x on the track (clamped to the span; 0 without one), and
    // back: the x of a time (clamped to the track).
    qint64 timeAt(int x) const;
    int xOf(qint64 t) const;

    QSize sizeHint() const override;

signals:
    void momentChosen(qint64 t);
    void clipChanged(qint64 from, qint64 to);
    void liveChosen();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Moment, ClipFrom, ClipTo };

    int statusWidth() const;
    int trackLeft() const;
    int trackRight() const;  // the x of now
    QRect trackRect() const;
    void paintLabels(QPainter& p, const QRect& track) const;
    void paintStatus(QPainter& p) const;
    void dragTo(int x);

    std::optional<std::pair<qint64, qint64>> span_;  // first, now
    std::vector<std::pair<qint64, qint64>> marks_;
    std::optional<qint64> moment_;
    std::optional<std::pair<qint64, qint64>> clip_;
    bool playing_ = false;
    double speed_ = 1.0;
    Drag drag_ = Drag::None;
};
