// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class RewindDisk;
struct RewindSegment;

// What arrived from each shown camera in the last minutes, so that a person
// can go back in time: the caller appends every still and video packet as it
// arrives, and the timeline, playback and clip export ask for what was kept.
//
// Kept per camera: the last `minutes` (1..60), counted back from the newest
// arrival of any camera, and from the still or video key frame at or before
// that point, so the oldest minute can still be shown. Video is kept only
// from a key frame on: packets of a camera before its first key frame (or
// after a still, or after a gap the store made) are dropped. Configurations
// (the decoder's set-up) stay in memory, and the one in force at the oldest
// key frame is kept with it.
//
// Memory: all cameras together stay under memoryCap; beyond it the oldest
// parts go to a ring of files in the folder (see RewindDisk), at most diskCap,
// by dropping the oldest file. When the folder is refused or a write fails,
// nothing more is written and the oldest parts are dropped from memory
// instead: appends never fail and never wait on more than one write.
//
// Threads: every member may be called from any thread. Queries copy what they
// need under the lock (QByteArray is shared, so cheaply) and read files
// outside it, so a clip writer reading minutes back never holds up appends.
class RewindStore {
public:
    struct Part {
        enum class Kind { Still, VideoPacket, VideoConfig };
        Kind kind = Kind::Still;
        qint64 time = 0;  // arrival, ms since the epoch
        QByteArray bytes;
        bool key = false;  // a video key frame; a still always is one
    };
    struct Options {
        int minutes = 5;
        qint64 memoryCap = qint64(512) << 20;
        qint64 diskCap = qint64(4) << 30;
        qint64 segmentBytes = qint64(4) << 20;  // one file of the ring
    };
    struct Span {
        qint64 first = 0, last = 0;
    };
    struct Usage {
        qint64 memoryBytes = 0, diskBytes = 0;
        int parts = 0, files = 0;
        bool spilling = false;  // files are written (the folder works)
    };

    // An empty folder keeps everything in memory (and drops at the cap).
    explicit RewindStore(const QString& folder);
    RewindStore(const QString& folder, Options options);
    ~RewindStore();
    RewindStore(const RewindStore&) = delete;
    RewindStore& operator=(const RewindStore&) = delete;

    // $XDG_CACHE_HOME/zorvan/rewind (~/.cache/zorvan/rewind by default).
    static QString defaultFolder();

    void append(const QString& camera, Part part);

    void setMinutes(int minutes);  // clamped to 1..60
    void setMemoryCap(qint64 bytes);
    void setDiskCap(qint64 bytes);
    // Off: nothing is kept at all; what was kept is freed, files removed.
    void setEnabled(bool enabled);
    bool isEnabled() const;
    // Everything kept is forgotten and the files removed (at quit).
    void clearAll();

    // At quit, instead of clearAll(), when what is kept should outlive the
    // run: every part still in memory goes to the ring (the oldest files
    // making room as ever under the disk cap), then an index of the ring is
    // written to the folder. The store then holds nothing and takes no more
    // parts. False when it could not be handed over (no usable folder, a
    // failed write): everything is then removed as by clearAll(). Holds the
    // lock while it writes.
    bool keepForNextRun();
    // At start, right after construction: takes over the ring an earlier run
    // kept, less what is older than `minutes` before now. An index that is not
    // wholly sound drops the whole kept ring. Either way the earlier runs'
    // leftovers are then removed; they are left alone until this is called
    // (or clearAll(), or setEnabled(false)). Nothing is taken over when rewind
    // is off or parts were already appended.
    void loadKept();

    // What shows the camera at `time`: the latest still at or before it, or
    // the video's configuration, the key frame at or before it and every
    // packet after that key frame up to `time`. Empty when nothing is kept
    // for that time.
    std::vector<Part> partBefore(const QString& camera, qint64 time) const;
    // For export: from the still or key frame at or before `from` (or the
    // first kept part) up to `to`, with the configuration in force at the
    // start and every later one in its place.
    std::vector<Part> range(const QString& camera, qint64 from, qint64 to) const;
    // The same, one part at a time, without holding all of them; stops when
    // the visitor returns false. False when a part could not be read back.
    bool forEachInRange(const QString& camera, qint64 from, qint64 to,
                        const std::function<bool(const Part&)>& visit) const;
    std::optional<Span> span(const QString& camera) const;
    QStringList cameras() const;
    Usage usage() const;

private:
    struct Entry {
        qint64 time = 0;
        Part::Kind kind = Part::Kind::Still;
        bool key = false;
        qint64 size = 0;
        QByteArray bytes;  // in memory, or empty when on disk
        std::shared_ptr<RewindSegment> segment;
        qint64 offset = 0;
    };
    struct Config {
        qint64 time = 0;
        QByteArray bytes;
    };
    struct Camera {
        std::deque<Entry> entries;  // in time order; those on disk are a prefix
        std::size_t onDisk = 0;
        std::deque<Config> configs;  // the one in force at entries.front() first
        bool videoSynced = false;
    };

    std::vector<Entry> collect(const Camera& camera, std::size_t from, std::size_t to) const;
    static bool read(const Entry& e, Part* out);
    void trim(Camera& camera, qint64 cutoff);
    void trimAll();
    void popFront(Camera& camera);
    void dropLeadingUndecodable(Camera& camera);
    void enforceMemoryCap();
    void enforceDiskCap(qint64 room);
    bool spillOldest();
    void dropOldestSegment();
    void release(const Entry& e);
    void clearLocked();
    qint64 cutoff() const;
    QByteArray keptIndex() const;
    bool takeOver(const QByteArray& index, qint64 now);

    mutable std::mutex mutex_;
    Options options_;
    std::unique_ptr<RewindDisk> disk_;
    std::map<QString, Camera> cameras_;
    qint64 memoryBytes_ = 0;
    qint64 newest_ = 0, lastSweep_ = 0;
    bool enabled_ = true;
    bool spillBroken_ = false;
};
