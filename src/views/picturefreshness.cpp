// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefreshness.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// The window over which the rate is averaged, and a bound on what is kept.
constexpr qint64 kRateWindowMs = 3000;
constexpr size_t kMaxArrivals = 4096;

}  // namespace

PictureFreshness::PictureFreshness(std::function<void()> repaint, QObject* parent)
    : QObject(parent), repaint_(std::move(repaint)) {
    clock_.start();
    // Often enough to cross the threshold and count the seconds on time; a
    // repaint only follows when the shown text changes.
    ticker_.setInterval(250);
    connect(&ticker_, &QTimer::timeout, this, &PictureFreshness::tick);
}

void PictureFreshness::pictureArrived(bool real) {
    const qint64 now = clock_.elapsed();
    if (sentMs_) {
        if (real) roundTripMs_ = now - *sentMs_;
        sentMs_.reset();
    }
    if (!real) return;
    lastRealMs_ = now;
    arrivals_.push_back(now);
    pruneArrivals();
    tick();
}

void PictureFreshness::restart() {
    counting_ = true;
    lastRealMs_ = clock_.elapsed();
    arrivals_.clear();
    sentMs_.reset();
    roundTripMs_.reset();
    ticker_.start();
    tick();
}

void PictureFreshness::stop() {
    counting_ = false;
    ticker_.stop();
    tick();
}

void PictureFreshness::requestSent() {
    sentMs_ = clock_.elapsed();
}

void PictureFreshness::setRefreshIntervalMs(int ms) {
    intervalMs_ = std::max(1, ms);
    tick();
}

int PictureFreshness::staleAfterMs() const {
    return std::max(minimumMs_, kIntervalsBeforeStale * intervalMs_);
}

void PictureFreshness::setMinimumStaleMs(int ms) {
    minimumMs_ = std::max(1, ms);
    tick();
}

qint64 PictureFreshness::ageMs() const {
    return clock_.elapsed() - lastRealMs_;
}

bool PictureFreshness::isStale() const {
    return counting_ && ageMs() >= staleAfterMs();
}

QString PictureFreshness::warningText() const {
    if (!isStale()) return {};
    return QCoreApplication::translate("Zorvan", "No picture for %1 s").arg(ageMs() / 1000);
}

void PictureFreshness::setShowStats(bool show) {
    showStats_ = show;
    tick();
}

void PictureFreshness::pruneArrivals() const {
    const qint64 from = clock_.elapsed() - kRateWindowMs;
    while (!arrivals_.empty() && (arrivals_.front() < from || arrivals_.size() > kMaxArrivals))
        arrivals_.pop_front();
}

double PictureFreshness::rate() const {
    pruneArrivals();
    if (arrivals_.size() < 2) return 0.0;
    // Intervals between the pictures of the window, up to now: a rate that
    // drops to zero when pictures stop, and no jump at the first picture.
    const qint64 span = clock_.elapsed() - arrivals_.front();
    return span > 0 ? 1000.0 * static_cast<double>(arrivals_.size() - 1) / static_cast<double>(span)
                    : 0.0;
}

QString PictureFreshness::statsText() const {
    const QString rateText = QString::number(rate(), 'f', 1);
    const QString text =
        !roundTripMs_ ? QCoreApplication::translate("Zorvan", "%1 pictures/s").arg(rateText)
                      : QCoreApplication::translate("Zorvan", "%1 pictures/s, round trip %2 ms")
                            .arg(rateText)
                            .arg(*roundTripMs_);
    return extraFigures_.isEmpty() ? text : text + QStringLiteral(", ") + extraFigures_;
}

QString PictureFreshness::shownState() const {
    return warningText() + QLatin1Char('\n') + (showStats_ ? statsText() : QString());
}

void PictureFreshness::tick() {
    const QString shown = shownState();
    if (shown == lastShown_) return;
    lastShown_ = shown;
    if (repaint_) repaint_();
}

void PictureFreshness::paintWarning(QPainter& p, const QRect& area, const QString& text) {
    p.save();
    p.fillRect(area, QColor(0, 0, 0, 150));
    QFont font = p.font();
    font.setPixelSize(std::clamp(area.height() / 14, 12, 48));
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    // A long text (a camera's name in it) is cut at its end to fit the cell.
    const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(0, area.width() - 40));
    QRect box = metrics.boundingRect(shown).adjusted(-16, -10, 16, 10);
    box.moveCenter(area.center());
    QPainterPath path;
    path.addRoundedRect(box, 8, 8);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, QColor(160, 20, 20, 220));
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, shown);
    p.restore();
}

void PictureFreshness::paint(QPainter& p, const QRect& area) const {
    const QString warning = warningText();
    if (!warning.isEmpty()) paintWarning(p, area, warning);  // the last picture dimmed under it
    if (showStats_) {
        const QString stats = statsText();
        QFont font = p.font();
        font.setPixelSize(12);
        font.setBold(false);
        p.setFont(font);
        const QFontMetrics metrics(font);
        QRect box = metrics.boundingRect(stats).adjusted(-6, -3, 6, 3);
        box.moveTopLeft(area.topLeft() + QPoint(6, 6));
        p.fillRect(box, QColor(0, 0, 0, 160));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, stats);
    }
}
