// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlroomhub.h"

#include "activitylog.h"
#include "activitynotifier.h"
#include "activitywatch.h"
#include "camserver.h"
#include "layoutsfile.h"
#include "rewindkeeper.h"
#include "rewindsettings.h"
#include "rewindstore.h"
#include "serverfeeds.h"
#include "settings.h"
#include "videobudget.h"

ControlRoomHub::ControlRoomHub(Settings& settings, const QString& folder, QObject* parent)
    : QObject(parent),
      settings_(settings),
      file_(LayoutsFile::openInFolder(folder)),
      feeds_(std::make_unique<ServerFeeds>(
          [&settings]() -> const std::vector<std::shared_ptr<CamServer>>& {
              return settings.getServers();
          })),
      videoBudget_(std::make_unique<VideoBudget>()),
      activity_(std::make_unique<ActivityWatch>()),
      activityLog_(std::make_unique<ActivityLog>(*this)) {
    // Queued: a window that asks for a server's lists while it fills its
    // cells hears of the change after it is done.
    connect(feeds_.get(), &ServerFeeds::changed, this, &ControlRoomHub::serversChanged,
            Qt::QueuedConnection);
    file_->setAlertListener([this] { emit alertsPending(); });
    activity_->setRoom(room());
    connect(this, &ControlRoomHub::roomChanged, activity_.get(),
            [this] { activity_->setRoom(room()); });
    // After the log, which names the camera first (signals run in the order
    // of their connections).
    notifier_ = std::make_unique<ActivityNotifier>(
        QDBusConnection::sessionBus(), activity_.get(), [this](const QString& key) {
            const ActivityWatch::Parts parts = ActivityWatch::partsOf(key);
            const CameraActivity* entry =
                room().activityOf(parts.serverId, parts.cameraUri, parts.cameraName);
            bool notify = entry && entry->notify;
            for (const Layout& l : room().layouts)
                notify = notify ||
                         (l.active && l.active->notify &&
                          l.active->watches(parts.serverId, parts.cameraUri, parts.cameraName));
            ActivityNotifier::Camera camera{parts.cameraName, {}, notify};
            const auto& events = activityLog_->events();
            if (!events.empty() && events.front().key == key)
                camera = {events.front().camera, events.front().server, camera.notify};
            return camera;
        });
    connect(notifier_.get(), &ActivityNotifier::showCamera, this, [this](const QString& key) {
        const ActivityWatch::Parts parts = ActivityWatch::partsOf(key);
        emit showCameraAsked(CameraRef{parts.serverId, parts.cameraUri, parts.cameraName, -1});
    });
    // What the last run kept, when it was asked to, comes back; a crash's
    // leftovers, or a ring no longer wanted, go.
    const RewindSettings rewind = RewindSettings::load();
    rewindStore_ = std::make_shared<RewindStore>(RewindStore::defaultFolder(), rewind.options());
    rewindStore_->setEnabled(rewind.enabled);
    if (rewind.enabled && rewind.keepAtQuit)
        rewindStore_->loadKept();
    else
        rewindStore_->clearAll();
    rewind_ = std::make_unique<RewindKeeper>(rewindStore_);
    connect(activity_.get(), &ActivityWatch::pictureSeen, rewind_.get(),
            &RewindKeeper::pictureShown);
}

ControlRoomHub::~ControlRoomHub() {
    end();
}

const ControlRoom& ControlRoomHub::room() const {
    return file_->room();
}

void ControlRoomHub::edit(const std::function<void(ControlRoom&)>& edit,
                          const roomedits::Renames& renames) {
    edit(file_->room());
    file_->saveSoon();
    if (!renames.empty()) emit renamed(renames);
    emit roomChanged();
}

std::shared_ptr<CamServer> ControlRoomHub::server(const QString& serverId) const {
    if (serverId.isEmpty()) return nullptr;
    for (const auto& s : settings_.getServers())
        if (s->serverId() == serverId) return s;
    return nullptr;
}

std::shared_ptr<CamServer> ControlRoomHub::serverNamed(const QString& name) const {
    for (const auto& s : settings_.getServers())
        if (s->name() == name) return s;
    return nullptr;
}

void ControlRoomHub::end() {
    // What was kept goes with the run; a clip still being written holds
    // its own reference to the store and reads on until it is done.
    if (rewindStore_ && !rewindEnded_) {
        rewindEnded_ = true;
        const RewindSettings rewind = RewindSettings::load();
        if (!rewind.enabled || !rewind.keepAtQuit || !rewindStore_->keepForNextRun())
            rewindStore_->clearAll();
    }
    feeds_->end();
    file_->setAlertListener({});
    file_->finish();
}
