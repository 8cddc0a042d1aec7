// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "pictureloader.h"

class CamServer;
class AbortToken;
class OperationQueue;
class WorkerThreads;
class ZVDataManagerDelegate;

// The viewer's client for a video server's HTTP interface: loads the
// microphone list then the camera list, and the shown camera's pictures.
//
// Entry points run on the main thread. Every job runs on a worker thread of
// an operation queue (at most four at once); each new job first cancels the
// jobs not yet started and goes to a fresh queue, while a running job runs to
// its end and is never waited for. Delegate calls come on the workers.
//
// A job works for the server that was current when it was queued and keeps
// that record alive. It sends its requests to the address, port and
// credentials the record held when the job was queued on the main thread:
// the server list edits records as they are typed, and a job that read them
// when it runs could ask an address the person has not finished typing. Reports of a load whose
// server is no longer current are dropped: its lists and alerts are about a server the user has
// left.
class ZVDataManager : public PictureLoader {
public:
    static constexpr int kMaxConcurrentJobs = 4;
    static constexpr int kPictureQuality = 60;
    static constexpr size_t kMaxListBytes = 16u << 20;
    static constexpr size_t kMaxPictureBytes = 32u << 20;

    // Binds to server (which may be null) and gives the server this manager.
    explicit ZVDataManager(std::shared_ptr<CamServer> server);
    // A manager that only loads lists never becomes its server's picture
    // loader: the server's one-camera pictures stay with the manager that
    // shows them (a layout loads the lists of servers that are not current).
    enum class Role { ListsAndPictures, ListsOnly };
    ZVDataManager(std::shared_ptr<CamServer> server, Role role);
    ~ZVDataManager() override;

    ZVDataManagerDelegate* delegate() const { return delegate_.load(); }
    void setDelegate(ZVDataManagerDelegate* delegate) { delegate_.store(delegate); }

    std::shared_ptr<CamServer> currentServer() const;
    // Stops all loading, then works for server from now on.
    void setCurrentServer(std::shared_ptr<CamServer> server);

    // Stops all loading and queues one list load: microphones, then cameras.
    // While the server's password is still being read from the keyring the
    // load is held until passwordsKnown().
    void loadCameras();
    // Passwords being read have arrived: a held load leaves now.
    void passwordsKnown();
    // Stops all loading and queues one picture job for the camera at index.
    void loadCameraIndex(std::int64_t index, const QString& uri,
                         const QString& resolution) override;
    // Cancels the jobs not yet started and drops the queue, without waiting.
    void stopAllLoading();

    // Ends all work for good: aborts running requests, releases workers that
    // wait for the main thread, and joins every worker. Main thread; safe in
    // any order with MainThreadCall::close().
    void shutdown();

    // A picture request for the record's fields as they are now (the wall
    // asks its pictures with these): the full URL and the header. No URL
    // when the host, the port or the path could move the request (and the
    // credentials) to another host.
    static std::optional<std::string> pictureUrl(const CamServer& server, const QString& uri,
                                                 const QString& resolution);
    static std::string authorizationHeader(const CamServer& server);

private:
    friend struct ZVDataManagerTestAccess;

    // Where a job's requests go and the credentials they carry, copied from
    // the record on the main thread when the job is queued.
    struct Target {
        QString host, port, login, password;
        static Target of(const CamServer& server);
    };

    // The request builders of the jobs, with the same rule for URLs.
    static std::optional<std::string> listUrl(const Target& target, const char* path);
    static std::optional<std::string> pictureUrl(const Target& target, const QString& uri,
                                                 const QString& resolution);
    static std::string authorizationHeader(const Target& target);

    // The request timeout, 25 s by default.
    void setRequestTimeoutMs(long ms) { timeoutMs_ = ms; }
    // New queues start suspended while set, holding their jobs not yet started.
    void setQueueSuspended(bool suspended);

    struct Job;
    void addAsyncOperation(std::function<void()> run, std::function<void()> cancelled = {});
    bool isCurrent(const CamServer* server) const;
    bool holdForPassword();
    // Makes server current and gives it this manager as its picture loader.
    void bind(const std::shared_ptr<CamServer>& server);

    // Jobs, on worker threads.
    void _loadCameras(const std::shared_ptr<CamServer>& server, const Target& target);
    bool loadList(const std::shared_ptr<CamServer>& server, const Target& target, bool cameras);
    void _syncLoadImage(const std::shared_ptr<CamServer>& server, const Target& target,
                        std::int32_t index, const QString& uri, const QString& resolution);
    std::optional<QByteArray> _sendGetSynchronize(const Target& target,
                                                  const std::optional<std::string>& url);
    std::optional<QByteArray> _sendGetSynchronizeEmptyType(const Target& target,
                                                           const std::optional<std::string>& url);

    const Role role_ = Role::ListsAndPictures;
    std::atomic<ZVDataManagerDelegate*> delegate_{nullptr};
    std::atomic<long> timeoutMs_{25000};
    std::atomic<bool> loadHeld_{false};  // a load waits for the password (main thread)
    mutable std::mutex lock_;            // guards the fields below
    std::shared_ptr<CamServer> currentServer_;
    std::vector<std::weak_ptr<CamServer>> boundServers_;  // told when this manager goes
    std::shared_ptr<OperationQueue> loadQueue_;
    bool suspendNewQueues_ = false;
    bool shutDown_ = false;
    std::shared_ptr<AbortToken> abort_;
    std::shared_ptr<WorkerThreads> threads_;
};
