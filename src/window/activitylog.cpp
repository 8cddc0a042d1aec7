// SPDX-License-Identifier: GPL-3.0-or-later
#include "activitylog.h"

#include "activitywatch.h"
#include "camserver.h"
#include "controlroomhub.h"

#include <algorithm>
#include <chrono>

namespace {

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CameraRef ActivityLog::Event::cameraRef() const {
    const ActivityWatch::Parts parts = ActivityWatch::partsOf(key);
    return CameraRef{parts.serverId, parts.cameraUri, parts.cameraName, -1};
}

ActivityLog::ActivityLog(ControlRoomHub& hub, QObject* parent) : QObject(parent), hub_(hub) {
    connect(hub_.activity(), &ActivityWatch::activityChanged, this, &ActivityLog::follow);
}

ActivityLog::~ActivityLog() = default;

const ActivityLog::Event* ActivityLog::find(std::uint64_t serial) const {
    const auto it = std::find_if(events_.begin(), events_.end(),
                                 [serial](const Event& e) { return e.serial == serial; });
    return it == events_.end() ? nullptr : &*it;
}

void ActivityLog::follow(const QString& key, bool active) {
    if (!active) {
        // The newest event of the camera is the one that ends.
        const auto it = std::find_if(events_.begin(), events_.end(),
                                     [&key](const Event& e) { return e.key == key; });
        if (it == events_.end() || !it->ongoing()) return;
        it->durationMs = std::max<qint64>(steadyMs() - it->startedMs, 0);
        emit changed();
        return;
    }
    Event e;
    e.serial = nextSerial_++;
    e.key = key;
    e.start = QDateTime::currentDateTime();
    e.startedMs = steadyMs();
    // The names of the moment; a camera no longer listed keeps what its key holds.
    const CameraRef ref = e.cameraRef();
    e.camera = ref.cameraName.isEmpty() ? ref.cameraUri : ref.cameraName;
    if (const auto server = hub_.server(ref.serverId)) {
        e.server = server->name();
        const auto cameras = server->getCameras();
        const int k = cameras ? findCamera(*cameras, ref) : -1;
        if (k >= 0) e.camera = cameras->at(static_cast<std::size_t>(k))->cameraName;
    }
    events_.push_front(std::move(e));
    if (events_.size() > kMaxEvents) events_.pop_back();
    emit changed();
}
