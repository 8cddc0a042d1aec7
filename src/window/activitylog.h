// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>

#include "layout.h"

class ControlRoomHub;

// What moved during this run: one event each time a camera became active,
// with when, the camera's and its server's names as they were then, and how
// long it stayed active (its hold included), newest first, the last
// kMaxEvents kept. Fed by the hub's ActivityWatch. One per viewer, the
// hub's. Main thread only.
class ActivityLog : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t kMaxEvents = 500;

    struct Event {
        std::uint64_t serial = 0;  // tells events apart; never used twice in a run
        QString key;               // ActivityWatch's key of the camera
        QString camera;
        QString server;
        QDateTime start;
        qint64 durationMs = -1;  // -1 while it goes on
        qint64 startedMs = 0;    // on a monotonic clock, for the duration

        bool ongoing() const { return durationMs < 0; }
        // The camera, to find in its server's list (findCamera).
        CameraRef cameraRef() const;
    };

    // hub: gives the watch and the names; outlives the log.
    explicit ActivityLog(ControlRoomHub& hub, QObject* parent = nullptr);
    ~ActivityLog() override;

    // Newest first.
    const std::deque<Event>& events() const { return events_; }
    const Event* find(std::uint64_t serial) const;

signals:
    // An event began or ended, or an old one was let go.
    void changed();

private:
    void follow(const QString& key, bool active);

    ControlRoomHub& hub_;
    std::deque<Event> events_;
    std::uint64_t nextSerial_ = 1;
};
