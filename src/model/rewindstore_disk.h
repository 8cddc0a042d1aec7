// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

// One file of the rewind ring: parts written one after the other, found again
// through the store's index (segment, offset, size). The file stays open, and
// locked so that another store's clean-up never takes it for a leftover, as
// long as anyone holds the pointer: a reader on another thread goes on reading
// a file the ring has already dropped (and unlinked) until it lets go.
struct RewindSegment {
    RewindSegment(int fd, std::string name) : fd(fd), name(std::move(name)) {}
    ~RewindSegment();
    RewindSegment(const RewindSegment&) = delete;
    RewindSegment& operator=(const RewindSegment&) = delete;

    // Any thread: the bytes at [offset, offset + size), false when the file
    // gives fewer.
    bool read(qint64 offset, qint64 size, QByteArray* out) const;

    const int fd;
    const std::string name;
    // Under the store's lock only.
    qint64 size = 0;  // bytes written
    int live = 0;     // parts of the index kept in it
};

// The folder of the rewind ring. At construction the folder is made (0700,
// parents too), an existing one looser than 0700 is made 0700, and a symbolic
// link, a non-folder or a folder of another user is refused: nothing is then
// written at all. Files an earlier run left (its own name pattern only, and
// not locked by a running store) are removed, unless that run kept its ring
// for this one (an index file is there): the clean-up then waits for
// finishStart(), after the store took over the files the index names, so a
// crash's files (no index) go at the next start either way. Parts are appended to segment
// files of about segmentBytes (0600); the store drops the oldest segment to
// stay under its disk cap. Not thread-safe: the store calls it under its lock;
// only RewindSegment::read runs outside it.
class RewindDisk {
public:
    struct Place {
        std::shared_ptr<RewindSegment> segment;
        qint64 offset = 0;
    };

    RewindDisk(const QString& folder, qint64 segmentBytes);
    ~RewindDisk();  // closes the folder; the files stay until dropAll()
    RewindDisk(const RewindDisk&) = delete;
    RewindDisk& operator=(const RewindDisk&) = delete;

    bool usable() const { return dirFd_ >= 0; }
    // Appends the bytes to the newest segment, or to a new one when they do
    // not fit; nullopt when the folder is refused or a write fails.
    std::optional<Place> write(const QByteArray& bytes);
    qint64 bytes() const { return bytes_; }
    int segmentCount() const { return int(segments_.size()); }
    std::shared_ptr<RewindSegment> oldest() const;
    // Oldest first.
    const std::deque<std::shared_ptr<RewindSegment>>& segments() const { return segments_; }
    // Removes the segment's file; readers holding it may still read it.
    void drop(const std::shared_ptr<RewindSegment>& segment);
    void dropAll();

    // Whether a file name is one this ring writes: "rewind-<pid>-<n>.zvr".
    static bool isOwnName(const QString& name);

    // Handing the ring over to the next run. The index is written to a
    // temporary name (0600) and renamed, so it is whole or absent.
    static constexpr const char* kIndexName = "rewind-index.zvi";
    bool keptPending() const { return keptPending_; }
    // The index's bytes: a regular file of this user, at most maxBytes.
    std::optional<QByteArray> readIndex(qint64 maxBytes) const;
    bool writeIndex(const QByteArray& bytes);
    void removeIndex();
    // Takes over a kept segment (the caller checked the name), locked as this
    // ring's own and placed after those taken before it; null when it is not
    // a regular file of this user or another store holds it.
    std::shared_ptr<RewindSegment> adopt(const QString& name);
    // Removes the leftovers the start-up left for the index's sake.
    void finishStart();
    // Closes every segment and forgets it, leaving the files for the next run.
    void letGoAll();

private:
    void removeLeftovers();

    int dirFd_ = -1;
    qint64 segmentBytes_;
    qint64 bytes_ = 0;
    std::uint64_t nextNumber_ = 1;
    bool keptPending_ = false;
    std::deque<std::shared_ptr<RewindSegment>> segments_;
};
