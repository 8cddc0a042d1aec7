// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindbar.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("Zorvan", text);
}

constexpr int kHeight = 44;
constexpr int kPad = 6;
constexpr int kTrackTop = 7, kTrackHeight = 14;
constexpr int kHandleReach = 5;  // how near a press takes a clip handle
// The same colour as a cell's activity frame, so the marks read as activity.
const QColor kActivity(230, 30, 200);
const QColor kClip(80, 160, 255);

constexpr qint64 kSecond = 1000, kMinute = 60 * kSecond;
// Label steps, the finest that leaves room between labels wins.
constexpr qint64 kSteps[] = {10 * kSecond, 30 * kSecond, kMinute,      5 * kMinute,
                             10 * kMinute, 15 * kMinute, 30 * kMinute, 60 * kMinute};

QString speedText(bool playing, double speed) {
    if (!playing) return tr("Paused");
    return tr("▶ %1x").arg(QString::number(speed, 'g', 3));
}

}  // namespace

QString rewindMomentText(qint64 moment, qint64 now) {
    const QString clock =
        QDateTime::fromMSecsSinceEpoch(moment).toString(QStringLiteral("HH:mm:ss"));
    const qint64 age = std::max<qint64>(0, now - moment) / kSecond;
    const qint64 h = age / 3600, m = age / 60 % 60, s = age % 60;
    const QChar zero('0');
    const QString ago =
        h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, zero).arg(s, 2, 10, zero)
              : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, zero);
    return tr("%1, %2 ago").arg(clock, ago);
}

RewindBar::RewindBar(QWidget* parent) : QWidget(parent) {
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setMouseTracking(true);
    setFixedHeight(kHeight);
}

QSize RewindBar::sizeHint() const {
    return {640, kHeight};
}

void RewindBar::setSpan(qint64 first, qint64 now) {
    span_ = std::pair(std::min(first, now), now);
    update();
}

void RewindBar::clearSpan() {
    span_.reset();
    drag_ = Drag::None;
    update();
}

void RewindBar::setMarks(std::vector<std::pair<qint64, qint64>> marks) {
    marks_ = std::move(marks);
    update();
}

void RewindBar::setMoment(std::optional<qint64> moment) {
    moment_ = moment;
    update();
}

void RewindBar::setPlaying(bool playing) {
    playing_ = playing;
    update();
}

void RewindBar::setSpeed(double speed) {
    speed_ = speed;
    update();
}

void RewindBar::setClip(qint64 from, qint64 to) {
    clip_ = std::pair(std::min(from, to), std::max(from, to));
    update();
}

void RewindBar::clearClip() {
    clip_.reset();
    if (drag_ == Drag::ClipFrom || drag_ == Drag::ClipTo) drag_ = Drag::None;
    update();
}

// Room for the longest moment text, but never most of a narrow bar.
int RewindBar::statusWidth() const {
    const int text = fontMetrics().horizontalAdvance(rewindMomentText(0, 10 * 3600 * kSecond - 1));
    return std::min(text + 2 * kPad, width() * 2 / 5);
}

int RewindBar::trackLeft() const {
    return statusWidth() + kPad;
}

int RewindBar::trackRight() const {
    const int live = fontMetrics().horizontalAdvance(tr("Live")) + 2 * kPad;
    return std::max(trackLeft() + 1, width() - live - kPad);
}

QRect RewindBar::trackRect() const {
    return QRect(QPoint(trackLeft(), kTrackTop), QPoint(trackRight(), kTrackTop + kTrackHeight));
}

qint64 RewindBar::timeAt(int x) const {
    if (!span_) return 0;
    const auto [first, now] = *span_;
    const int left = trackLeft(), right = trackRight();
    const double share = double(std::clamp(x, left, right) - left) / double(right - left);
    return first + std::llround(share * double(now - first));
}

int RewindBar::xOf(qint64 t) const {
    const int left = trackLeft(), right = trackRight();
    if (!span_) return left;
    const auto [first, now] = *span_;
    if (now <= first) return right;
    const double share = double(std::clamp(t, first, now) - first) / double(now - first);
    return left + int(std::lround(share * double(right - left)));
}

void RewindBar::paintStatus(QPainter& p) const {
    const QRect box(kPad, 0, statusWidth() - kPad, height());
    const QFontMetrics metrics = p.fontMetrics();
    p.setPen(Qt::white);
    if (!moment_) {
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, tr("Live"));
        return;
    }
    const QString first = rewindMomentText(*moment_, span_ ? span_->second : *moment_);
    const int line = metrics.height();
    const QRect top(box.left(), height() / 2 - line, box.width(), line);
    p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter,
               metrics.elidedText(first, Qt::ElideRight, box.width()));
    p.drawText(top.translated(0, line), Qt::AlignLeft | Qt::AlignVCenter,
               speedText(playing_, speed_));
}

void RewindBar::paintLabels(QPainter& p, const QRect& track) const {
    const auto [first, now] = *span_;
    const QFontMetrics metrics = p.fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00:00"));
    const double pixelsPerMs = double(track.width()) / double(std::max<qint64>(now - first, 1));
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (const qint64 s : kSteps)
        if (double(s) * pixelsPerMs >= labelWidth + 2 * kPad) {
            step = s;
            break;
        }
    // Steps are counted on the local clock, so minutes fall on ":00".
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(first).offsetFromUtc()) * kSecond;
    qint64 t = (first + offset + step - 1) / step * step - offset;
    const int top = track.bottom() + 2;
    p.setPen(QColor(255, 255, 255, 200));
    for (; t <= now; t += step) {
        const int x = xOf(t);
        const QTime clock = QDateTime::fromMSecsSinceEpoch(t).time();
        const QString text = clock.second() == 0 ? clock.toString(QStringLiteral("HH:mm"))
                                                 : clock.toString(QStringLiteral(":ss"));
        const int w = metrics.horizontalAdvance(text);
        const QRect box(x - w / 2, top + 2, w, height() - top - 2);
        p.drawLine(x, top - 1, x, top + 1);
        if (box.left() < track.left() || box.right() > track.right()) continue;
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

void RewindBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, 170));
    if (!span_) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, tr("Nothing kept"));
        return;
    }
    paintStatus(p);
    const QRect track = trackRect();
    p.fillRect(track, QColor(255, 255, 255, 60));
    for (const auto& [from, to] : marks_) {
        if (to < span_->first || from > span_->second) continue;
        const int x0 = xOf(from), x1 = std::max(xOf(to), x0 + 2);
        p.fillRect(QRect(QPoint(x0, track.top() + 3), QPoint(x1, track.bottom() - 3)), kActivity);
    }
    if (clip_) {
        const int x0 = xOf(clip_->first), x1 = xOf(clip_->second);
        QColor shade = kClip;
        shade.setAlpha(90);
        p.fillRect(QRect(QPoint(x0, track.top()), QPoint(x1, track.bottom())), shade);
        for (const int x : {x0, x1})
            p.fillRect(QRect(x - 2, track.top() - 4, 5, track.height() + 8), kClip);
    }
    paintLabels(p, track);

    const QRect live(track.right() + kPad, track.top(), width() - track.right() - kPad,
                     track.height());
    QFont bold = p.font();
    bold.setBold(!moment_);
    p.setFont(bold);
    p.setPen(moment_ ? QColor(255, 255, 255, 170) : QColor(Qt::white));
    p.drawText(live, Qt::AlignLeft | Qt::AlignVCenter, tr("Live"));

    const int x = moment_ ? xOf(*moment_) : track.right();
    p.fillRect(QRect(x - 1, track.top() - 4, 3, track.height() + 8), Qt::white);
}

void RewindBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !span_) return QWidget::mousePressEvent(event);
    const int x = qRound(event->position().x());
    drag_ = Drag::None;
    if (clip_) {
        const int from = xOf(clip_->first), to = xOf(clip_->second);
        // The nearer handle; on a clip too short to part them, the later one
        // when pressed right of it, so it can always be pulled open.
        if (std::abs(x - to) <= kHandleReach && (std::abs(x - to) < std::abs(x - from) || x > to))
            drag_ = Drag::ClipTo;
        else if (std::abs(x - from) <= kHandleReach)
            drag_ = Drag::ClipFrom;
    }
    if (drag_ == Drag::None) {
        if (x > trackRight() + 2) {
            emit liveChosen();
            return;
        }
        if (x < trackLeft() - kHandleReach) return;
        drag_ = Drag::Moment;
        moment_ = timeAt(x);
        update();
        emit momentChosen(*moment_);
    }
    // A handle is taken where it is: it moves with the drag only.
}

void RewindBar::dragTo(int x) {
    const qint64 t = timeAt(x);
    if (drag_ == Drag::Moment) {
        if (moment_ == t) return;
        moment_ = t;
        update();
        emit momentChosen(t);
    } else if (clip_) {
        auto clip = *clip_;
        if (drag_ == Drag::ClipFrom) clip.first = std::min(t, clip.second);
        if (drag_ == Drag::ClipTo) clip.second = std::max(t, clip.first);
        if (clip == *clip_) return;
        clip_ = clip;
        update();
        emit clipChanged(clip.first, clip.second);
    }
}

void RewindBar::mouseMoveEvent(QMouseEvent* event) {
    const int x = qRound(event->position().x());
    if (drag_ != Drag::None && span_ && (event->buttons() & Qt::LeftButton)) {
        dragTo(x);
    } else if (QToolTip::isVisible() && span_ && x >= trackLeft() && x <= trackRight()) {
        QToolTip::showText(event->globalPosition().toPoint(),
                           rewindMomentText(timeAt(x), span_->second), this);
    }
}

void RewindBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_ = Drag::None;
    QWidget::mouseReleaseEvent(event);
}

bool RewindBar::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int x = help->pos().x();
    if (span_ && x >= trackLeft() && x <= trackRight()) {
        QToolTip::showText(help->globalPos(), rewindMomentText(timeAt(x), span_->second), this);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}
