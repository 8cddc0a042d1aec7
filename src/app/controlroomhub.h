// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "layout.h"
#include "roomedits.h"

class CamServer;
class LayoutsFile;
class ServerFeeds;
class Settings;
class VideoBudget;
class ActivityWatch;
class ActivityLog;
class ActivityNotifier;
class RewindKeeper;
class RewindStore;

// What every window of the viewer shares in the control room: the layouts
// file (layouts, tours, windows), the servers' background lists, and the
// news that either changed, so that each window showing a layout follows
// an edit made in another. Main thread only.
class ControlRoomHub : public QObject {
    Q_OBJECT

public:
    // folder: where layouts.json lives (beside settings.dat).
    ControlRoomHub(Settings& settings, const QString& folder, QObject* parent = nullptr);
    ~ControlRoomHub() override;

    Settings& settings() const { return settings_; }
    ServerFeeds* feeds() const { return feeds_.get(); }
    LayoutsFile* file() const { return file_.get(); }
    // The video decodes every window's cells share.
    VideoBudget* videoBudget() const { return videoBudget_.get(); }
    // What moves on the cameras every window shows.
    ActivityWatch* activity() const { return activity_.get(); }
    // The activity events of the run, for Window > Activity List.
    ActivityLog* activityLog() const { return activityLog_.get(); }
    // What the windows' cameras sent in the last minutes, and its keeper.
    RewindKeeper* rewind() const { return rewind_.get(); }
    const std::shared_ptr<RewindStore>& rewindStore() const { return rewindStore_; }
    const ControlRoom& room() const;

    // Changes the room through edit, writes it soon, and tells every window;
    // renames: the layouts and tours edit gave another name, which the
    // windows showing them follow.
    void edit(const std::function<void(ControlRoom&)>& edit,
              const roomedits::Renames& renames = {});
    // The server with that identity, or none.
    std::shared_ptr<CamServer> server(const QString& serverId) const;
    std::shared_ptr<CamServer> serverNamed(const QString& name) const;

    // Ends the feeds and writes what is pending (quit); a failure is no
    // longer tried again nor said.
    void end();

signals:
    // An edit gave these layouts and tours another name; told before its
    // roomChanged(), so that every window knows what it shows by then.
    void renamed(const roomedits::Renames& renames);
    // Layouts or tours changed (an edit, in any window).
    void roomChanged();
    // A server's lists or state changed, or the server list was edited
    // (empty id): cells find their cameras again.
    void serversChanged(const QString& serverId);
    // The layouts file has something to tell the person (file()->takeAlerts()).
    void alertsPending();
    // A desktop notification of the camera's activity was clicked: show it.
    void showCameraAsked(const CameraRef& camera);

private:
    Settings& settings_;
    std::unique_ptr<LayoutsFile> file_;
    std::unique_ptr<ServerFeeds> feeds_;
    std::unique_ptr<VideoBudget> videoBudget_;
    std::unique_ptr<ActivityWatch> activity_;
    std::unique_ptr<ActivityLog> activityLog_;  // fed by activity_
    std::unique_ptr<ActivityNotifier> notifier_;  // fed by activity_, after the log
    std::shared_ptr<RewindStore> rewindStore_;     // shared with clip exports
    std::unique_ptr<RewindKeeper> rewind_;         // fed by activity_
    bool rewindEnded_ = false;                     // kept or cleared at the end
};
