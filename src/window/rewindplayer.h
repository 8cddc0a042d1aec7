// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "pastframe.h"

class RewindStore;

// Shows a window's cells at a moment gone by: every cell at the same moment,
// paused or playing at a speed, from what the rewind store kept. While live
// it does nothing; show() or back() leave live, goLive() (or playing up to
// the present) returns.
//
// The pictures are decoded on one thread of its own, one PastDecoder per
// cell; of the requests of a cell only the newest waits, older ones are
// dropped, so that a slow decode never queues up. The pictures come back on
// the main thread as signals, each only when what the cell shows changed.
// Main thread only.
class RewindPlayer : public QObject {
    Q_OBJECT

public:
    struct Cell {
        int id = 0;
        QString camera;  // empty: a cell with nothing to show
        QSize pixels;    // the cell's size in device pixels
    };

    static constexpr int kTickMs = 40;

    RewindPlayer(std::shared_ptr<RewindStore> store, std::function<qint64()> now,
                 QObject* parent = nullptr);
    ~RewindPlayer() override;

    // The window's cells now; while in the past each new or changed cell is
    // shown at the moment at once.
    void setCells(std::vector<Cell> cells);

    bool isLive() const { return live_; }
    // The moment shown, ms since the epoch; now() while live.
    qint64 moment() const;
    // Leaves live, or jumps: paused at moment (never after now()).
    void show(qint64 moment);
    // From live, back() starts at now(); forward() to now() or beyond is live.
    void back(qint64 ms);
    void forward(qint64 ms);
    void play();
    void pause();
    void togglePlay();
    bool isPlaying() const { return playing_; }
    // One of 0.5, 1, 2 and 4 (the nearest of them to s).
    void setSpeed(double s);
    double speed() const { return speed_; }
    void slower();
    void faster();
    // While paused: to the next (or previous) kept part of any cell after
    // (before) the moment, the smallest step that changes a picture.
    // With a camera (one of the cells'), that camera's next or previous
    // picture instead.
    void step(bool forward, const QString& camera = {});
    void goLive();

signals:
    void picture(int cell, const video::Past& past);
    void nothingKept(int cell);
    void momentChanged(qint64 moment);
    void liveChanged(bool live);
    void playingChanged(bool playing);

private slots:
    void tick();

private:
    struct Worker;
    struct Shown {
        bool known = false;  // something was signalled since the cell last changed
        bool nothing = false;
        qint64 time = 0;
        qint64 cacheKey = 0;
        quint64 round = 0;
    };

    void moveTo(qint64 moment);
    void setPlaying(bool playing);
    // Every cell at the moment; fresh: each is handed over even if unchanged.
    void requestAll(bool fresh);
    void delivered(int cell, quint64 request, std::optional<video::Past> past);
    std::optional<qint64> nextPart(qint64 after, const QString& only) const;
    std::optional<qint64> previousPart(qint64 before, const QString& only) const;

    std::shared_ptr<RewindStore> store_;
    std::function<qint64()> now_;
    std::vector<Cell> cells_;
    std::map<int, Shown> shown_;
    bool live_ = true;
    bool playing_ = false;
    double speed_ = 1;
    qint64 moment_ = 0;
    qint64 lastTick_ = 0;    // now() at the last tick while playing
    double carry_ = 0;       // the part of a millisecond played but not yet shown
    quint64 request_ = 0;    // counts the rounds of requests
    quint64 shownFrom_ = 0;  // results of rounds before this one are stale
    QTimer timer_;
    std::unique_ptr<Worker> worker_;
};
