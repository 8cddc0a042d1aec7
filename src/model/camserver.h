// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include "cameraview.h"
#include "phonelist.h"
#include "refreshschedule.h"

class PictureLoader;
namespace tx {
class JsonValue;
}

using CameraList = std::vector<std::shared_ptr<CameraView>>;
using MicrophoneList = std::vector<std::shared_ptr<PhoneList>>;

// One server of the user's list: how to reach it, preferences carried
// through the settings file, and, once it has answered, its cameras,
// microphones and the timer that refreshes the shown camera's picture.
//
// Always owned through std::shared_ptr (make it with create() or
// fromDictionary()): the settings store, the data manager and a running job
// may each hold it. Records are compared by identity, never by fields.
//
// Threads: the text fields may be edited on the main thread while workers
// build requests from them, so each accessor copies under a lock and a reader
// sees a field before or after an edit. The camera and microphone lists are
// replaced whole (on a worker) and read as immutable snapshots. The timer is
// main-thread only.
class CamServer : public std::enable_shared_from_this<CamServer> {
    struct Token {};

public:
    // A record with the defaults of a new entry: empty texts, camOnPage 4,
    // and a fresh serverId.
    static std::shared_ptr<CamServer> create();
    // A record filled from its dictionary form, starting from an empty record
    // (absent texts, zeros and false), not from create()'s defaults. Its
    // serverId is the dictionary's when that is usable, else a fresh one.
    static std::shared_ptr<CamServer> fromDictionary(const QVariantMap& dict);

    explicit CamServer(Token) {}
    ~CamServer();
    CamServer(const CamServer&) = delete;
    CamServer& operator=(const CamServer&) = delete;

    // The persistent fields, in the settings file's dictionary form.
    QVariantMap toDictionary() const;
    // How the dictionary form reads an integer (the settings store reads its
    // own integer keys the same way): a number keeps its low 32 bits, so
    // 4294967295 reads -1; a text gives its leading integer, saturated; a
    // boolean gives 0 or 1; anything else 0.
    static std::int32_t int32Value(const QVariant& value);

    // --- text fields (a null QString is an absent field) ---
    QString name() const;
    QString host() const;
    QString port() const;
    QString login() const;
    QString password() const;
    QString fps() const;
    void setName(const QString& v);
    void setHost(const QString& v);
    void setPort(const QString& v);
    void setLogin(const QString& v);
    // Also the person's edit: a new value is no longer the keyring's
    // (passwordInKeyring), and any value is known (passwordUnknown). Main
    // thread.
    void setPassword(const QString& v);
    void setFps(const QString& v);

    // --- preferences (main thread) ---
    std::int32_t previewRegim = 0;
    bool isSelected = false;
    bool oldProtocol = false;
    std::int64_t camOnPage = 0;
    std::optional<QVariantList> sortCamerasNames;

    // --- identity ---

    // The record's own stable identity, a UUID text in lower case without
    // braces, kept in the dictionary form under "serverId": what layouts and
    // windows name a server by, so that a rename, a new address or port, or
    // a reordered list keeps them pointing at the same server. Fixed once
    // the record is made, so any thread may read it.
    const QString& serverId() const { return serverId_; }
    // The identity a value of the dictionary form stands for: a UUID text
    // (braces and letter case do not matter) in the form serverId() gives;
    // null for anything else, the nil UUID included.
    static QString serverIdFrom(const QVariant& value);

    // --- password in the system keyring (main thread) ---

    // The record's identity in the system keyring, a random text made when
    // its password first goes there; kept in the dictionary form under
    // "keyringId" so that it survives runs and renames. Null when the record
    // has no keyring entry.
    QString keyringId;
    // The keyring holds exactly the current password, as the keyring
    // confirmed: the dictionary form then carries an empty "password". A
    // password that setPassword() changes is no longer there, and stays in
    // the file until the keyring confirms the new value.
    bool passwordInKeyring = false;
    // The keyring's password could not be read (locked, absent, failed):
    // password() is empty as a stand-in, not the server's password, so it
    // is never written anywhere and the keyring entry is kept. Cleared by
    // a later read or by a password typed in (setPassword).
    bool passwordUnknown = false;
    // The password is being read from the keyring: requests must wait for
    // it rather than go without it. Set by whoever starts the read; cleared
    // by its answer (resolvePassword) or by a password typed meanwhile.
    bool passwordPending() const { return passwordPending_.load(); }
    void setPasswordPending() { passwordPending_.store(true); }
    // Takes the keyring's answer when the password is still pending, and
    // returns whether it did: a password typed meanwhile wins.
    bool resolvePassword(const QString& password);

    // --- camera and microphone lists ---

    // Replaces the camera records with ones built from a decoded camera list
    // (a JSON array of camera objects), in the document's order. A document
    // that is not an array is refused: nothing changes and false is returned.
    bool setCameras(const tx::JsonValue& list);
    // The same for the microphone list.
    bool setMicrophones(const tx::JsonValue& list);
    // The last microphone whose cameraUri equals the camera's uri, or nullptr.
    std::shared_ptr<PhoneList> getMicrophone(const CameraView* camera) const;
    // Snapshots: nullptr before the first list; an empty list after an answer
    // with no entries. A snapshot keeps its records alive while it is held.
    std::shared_ptr<const CameraList> getCameras() const;
    std::shared_ptr<const MicrophoneList> getMicrophones() const;

    // --- live picture refresh ---

    // (Re)starts refreshing the camera at position p at the rate from fps;
    // stops the refresh when p is outside the list. Any thread.
    void videoCameraAtIndex(std::int64_t p);
    // Stops the refresh, if any. Main thread.
    void stopVideo();
    // One refresh step. Main thread (the timer calls it).
    void tickVideo();
    // Hands a fetched picture (or none) to the camera at p: on the main
    // thread at once, from the picture job's worker thread without waiting.
    void updateCamera(std::int64_t p, const CameraPicture& picture);
    // The picture job for the camera at p was cancelled before it ran: opens
    // that camera's gate without touching its view. Main thread.
    void pictureCancelled(std::int64_t p);

    // Told, on the main thread, each time the shown camera's picture did not
    // come, with the number of such answers in a row; the application uses
    // it to find out when an unanswering server is back.
    void setPictureFailureListener(std::function<void(int failuresInARow)> listener) {
        pictureFailed_ = std::move(listener);
    }

    std::int64_t currentCameraIndex() const { return currentCameraIndex_.load(); }
    bool isRefreshing() const { return timer_ != nullptr; }
    // The pictures per second that fps asks for: its leading integer, 8 when
    // it has none or it is not positive, at most 1000.
    static int refreshRate(const QString& fps);

    // The loader of this server's pictures; not owned. A loader that goes
    // away first releases itself, so this never points at a dead one.
    PictureLoader* dataManager() const { return dataManager_.load(); }
    void setDataManager(PictureLoader* loader) { dataManager_.store(loader); }
    void releaseDataManager(PictureLoader* loader) {
        dataManager_.compare_exchange_strong(loader, nullptr);
    }

private:
    // Places a fetched picture on the main thread and asks for the next one.
    void placePicture(std::int64_t p, const CameraPicture& picture);
    QString serverId_;             // set while the record is made, then fixed
    mutable std::mutex textLock_;  // guards the six text fields
    QString name_, host_, port_, login_, password_, fps_;

    mutable std::mutex listLock_;  // guards the two snapshot pointers
    std::shared_ptr<const CameraList> cameras_;
    std::shared_ptr<const MicrophoneList> microphones_;

    std::atomic<bool> passwordPending_{false};
    std::atomic<std::int64_t> currentCameraIndex_{0};
    std::unique_ptr<QTimer> timer_;  // main thread only; single shot, set for the next slot
    RefreshSchedule schedule_;       // main thread only
    // Set on the main thread when a picture request leaves; cleared by its
    // answer on a worker or by its cancellation.
    std::atomic<bool> pictureInFlight_{false};
    std::atomic<PictureLoader*> dataManager_{nullptr};
    std::function<void(int)> pictureFailed_;  // main thread only
};
