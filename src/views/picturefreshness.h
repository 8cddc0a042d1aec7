// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

class QPainter;
class QRect;

// Keeps track of how old the shown camera's picture is, so that a frozen
// picture is never taken for a live one. Once no real picture has come for
// staleAfterMs() (a few refresh intervals, at least two seconds) the view
// is dimmed and says for how long; the next real picture ends the warning.
// A failed picture (none, or one that did not decode) does not count as one.
// On request it also shows the live rate and the round-trip time.
//
// Main thread only. repaint is called whenever what paint() draws changes.
class PictureFreshness : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinimumStaleMs = 2000;
    static constexpr int kIntervalsBeforeStale = 4;

    explicit PictureFreshness(std::function<void()> repaint, QObject* parent = nullptr);

    // A picture arrived: real, or a failed one.
    void pictureArrived(bool real);
    // Another camera is shown: its age counts from now.
    void restart();
    // Counting stops (no camera is shown); no warning until restart().
    void stop();
    // A picture was asked for; its arrival gives the round-trip time.
    void requestSent();

    // The refresh interval of the shown camera, which sets the threshold.
    void setRefreshIntervalMs(int ms);
    int staleAfterMs() const;

    bool isStale() const;
    // Milliseconds since the last real picture (or since restart()).
    qint64 ageMs() const;
    // The warning, "No picture for 12 s", translated; empty when fresh.
    QString warningText() const;

    void setShowStats(bool show);
    bool showStats() const { return showStats_; }
    // Real pictures per second over the last few seconds.
    double rate() const;
    std::optional<qint64> lastRoundTripMs() const { return roundTripMs_; }
    // "8.0 pictures/s, round trip 35 ms", translated.
    QString statsText() const;
    // More figures after the rate ("activity 0.31 % of 0.50 %"); empty for none.
    void setExtraFigures(const QString& figures) { extraFigures_ = figures; }

    // Dims the picture and draws the warning (when stale) and the figures
    // (when asked for) over area.
    void paint(QPainter& painter, const QRect& area) const;
    // Dims area and draws text centred in it, in the warning's look: for
    // anything that stands where a picture should be.
    static void paintWarning(QPainter& painter, const QRect& area, const QString& text);

private:
    friend struct PictureFreshnessTestAccess;

    // Lowers the two-second floor.
    void setMinimumStaleMs(int ms);
    void tick();
    QString shownState() const;
    void pruneArrivals() const;

    std::function<void()> repaint_;
    QTimer ticker_;
    QElapsedTimer clock_;
    bool counting_ = false;
    qint64 lastRealMs_ = 0;  // on clock_
    int intervalMs_ = 125;
    int minimumMs_ = kMinimumStaleMs;
    bool showStats_ = false;
    QString extraFigures_;
    std::optional<qint64> sentMs_;
    std::optional<qint64> roundTripMs_;
    mutable std::deque<qint64> arrivals_;  // real pictures, on clock_, last few seconds
    QString lastShown_;
};
