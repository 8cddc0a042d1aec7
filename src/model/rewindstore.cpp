// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindstore.h"

#include "rewindstore_disk.h"

#include <QStandardPaths>

#include <algorithm>
#include <limits>

namespace {

using Kind = RewindStore::Part::Kind;

constexpr qint64 kMinuteMs = 60 * 1000;
// Trimming every camera, not only the one appended to, so a camera that went
// silent is forgotten too.
constexpr qint64 kSweepMs = 1000;
// A decoder's set-up is a few dozen bytes; a bigger one is not kept (it could
// not be spilled and would sit under the memory cap).
constexpr qsizetype kMaxConfigBytes = 1 << 20;

}  // namespace

RewindStore::RewindStore(const QString& folder) : RewindStore(folder, Options{}) {}

RewindStore::RewindStore(const QString& folder, Options options)
    : options_(options), disk_(std::make_unique<RewindDisk>(folder, options.segmentBytes)) {
    options_.minutes = std::clamp(options_.minutes, 1, 60);
}

RewindStore::~RewindStore() {
    cameras_.clear();
    disk_.reset();
}

QString RewindStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/zorvan/rewind");
}

qint64 RewindStore::cutoff() const {
    return newest_ - qint64(options_.minutes) * kMinuteMs;
}

void RewindStore::append(const QString& camera, Part part) {
    std::lock_guard lock(mutex_);
    if (!enabled_) return;
    if (part.kind == Kind::VideoConfig && part.bytes.size() > kMaxConfigBytes) return;
    Camera& c = cameras_[camera];
    // Arrival order is the truth: a clock stepped back never reorders a
    // camera's parts.
    if (!c.entries.empty()) part.time = std::max(part.time, c.entries.back().time);
    if (!c.configs.empty()) part.time = std::max(part.time, c.configs.back().time);
    newest_ = std::max(newest_, part.time);
    if (part.kind == Kind::VideoConfig) {
        // The one in force again: nothing changes.
        if (!c.configs.empty() && c.configs.back().bytes == part.bytes) return;
        memoryBytes_ += part.bytes.size();
        c.configs.push_back({part.time, std::move(part.bytes)});
    } else {
        if (part.kind == Kind::Still) {
            part.key = true;
            c.videoSynced = false;
        } else if (part.key) {
            c.videoSynced = true;
        }
        if (c.videoSynced || part.kind == Kind::Still) {
            Entry e;
            e.time = part.time;
            e.kind = part.kind;
            e.key = part.key;
            e.size = part.bytes.size();
            e.bytes = std::move(part.bytes);
            memoryBytes_ += e.size;
            c.entries.push_back(std::move(e));
        }
    }
    trim(c, cutoff());
    if (newest_ - lastSweep_ >= kSweepMs) {
        lastSweep_ = newest_;
        trimAll();
    }
    enforceMemoryCap();
}

void RewindStore::release(const Entry& e) {
    if (!e.segment) {
        memoryBytes_ -= e.size;
    } else if (--e.segment->live == 0) {
        disk_->drop(e.segment);
    }
}

void RewindStore::popFront(Camera& c) {
    release(c.entries.front());
    if (c.onDisk > 0) --c.onDisk;
    c.entries.pop_front();
    // Only the configuration in force at the first kept part stays before it.
    while (c.configs.size() >= 2 &&
           (c.entries.empty() || c.configs[1].time <= c.entries.front().time)) {
        memoryBytes_ -= c.configs.front().bytes.size();
        c.configs.pop_front();
    }
}

// Packets after a dropped key frame cannot be decoded.
void RewindStore::dropLeadingUndecodable(Camera& c) {
    while (!c.entries.empty() && !c.entries.front().key) popFront(c);
}

// Keeps the span from the still or key frame at or before the cutoff, so the
// picture at the cutoff can be shown; a camera silent since before the cutoff
// keeps nothing.
void RewindStore::trim(Camera& c, qint64 limit) {
    if (!c.entries.empty() && c.entries.back().time < limit) {
        while (!c.entries.empty()) popFront(c);
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i < c.entries.size() && c.entries[i].time <= limit; ++i)
            if (c.entries[i].key) start = i;
        for (; start > 0; --start) popFront(c);
        dropLeadingUndecodable(c);
    }
    if (c.entries.empty()) {
        while (c.configs.size() > 1 || (!c.configs.empty() && c.configs.back().time < limit)) {
            memoryBytes_ -= c.configs.front().bytes.size();
            c.configs.pop_front();
        }
    }
}

void RewindStore::trimAll() {
    const qint64 limit = cutoff();
    for (auto it = cameras_.begin(); it != cameras_.end();) {
        trim(it->second, limit);
        if (it->second.entries.empty() && it->second.configs.empty())
            it = cameras_.erase(it);
        else
            ++it;
    }
}

void RewindStore::enforceMemoryCap() {
    while (memoryBytes_ > options_.memoryCap) {
        if (!spillBroken_ && disk_->usable() && spillOldest()) continue;
        // Not spilled: the camera whose oldest part in memory is the oldest
        // loses its kept span up to and including that part.
        Camera* oldest = nullptr;
        qint64 time = std::numeric_limits<qint64>::max();
        for (auto& [key, c] : cameras_)
            if (c.onDisk < c.entries.size() && c.entries[c.onDisk].time < time) {
                time = c.entries[c.onDisk].time;
                oldest = &c;
            }
        if (!oldest) break;  // only configurations left
        while (oldest->onDisk > 0) popFront(*oldest);
        popFront(*oldest);
        dropLeadingUndecodable(*oldest);
    }
}

// Writes the oldest part still in memory to the ring; false when there is
// none, it is larger than the whole disk cap, or the write failed (which
// stops spilling).
bool RewindStore::spillOldest() {
    for (;;) {
        Camera* best = nullptr;
        qint64 time = std::numeric_limits<qint64>::max();
        for (auto& [key, c] : cameras_)
            if (c.onDisk < c.entries.size() && c.entries[c.onDisk].time < time) {
                time = c.entries[c.onDisk].time;
                best = &c;
            }
        if (!best) return false;
        Entry& e = best->entries[best->onDisk];
        if (e.size > options_.diskCap) return false;
        if (disk_->bytes() + e.size > options_.diskCap && disk_->segmentCount() > 0) {
            // Dropping may take parts of any camera, this one too: choose again.
            dropOldestSegment();
            continue;
        }
        const auto place = disk_->write(e.bytes);
        if (!place) {
            spillBroken_ = true;
            return false;
        }
        e.segment = place->segment;
        e.offset = place->offset;
        ++e.segment->live;
        e.bytes = QByteArray();
        memoryBytes_ -= e.size;
        ++best->onDisk;
        return true;
    }
}

void RewindStore::dropOldestSegment() {
    const std::shared_ptr<RewindSegment> segment = disk_->oldest();
    if (!segment) return;
    for (auto& [key, c] : cameras_) {
        bool dropped = false;
        while (c.onDisk > 0 && c.entries.front().segment == segment) {
            popFront(c);
            dropped = true;
        }
        if (dropped) dropLeadingUndecodable(c);
    }
    disk_->drop(segment);  // when no part of it was left to do that
}

void RewindStore::enforceDiskCap(qint64 room) {
    while (disk_->segmentCount() > 0 && disk_->bytes() + room > options_.diskCap)
        dropOldestSegment();
}

void RewindStore::setMinutes(int minutes) {
    std::lock_guard lock(mutex_);
    options_.minutes = std::clamp(minutes, 1, 60);
    trimAll();
}

void RewindStore::setMemoryCap(qint64 bytes) {
    std::lock_guard lock(mutex_);
    options_.memoryCap = std::max<qint64>(bytes, 0);
    enforceMemoryCap();
}

void RewindStore::setDiskCap(qint64 bytes) {
    std::lock_guard lock(mutex_);
    options_.diskCap = std::max<qint64>(bytes, 0);
    enforceDiskCap(0);
}

void RewindStore::clearLocked() {
    cameras_.clear();
    disk_->dropAll();
    disk_->finishStart();  // a kept ring not taken over is not wanted either
    memoryBytes_ = 0;
    newest_ = lastSweep_ = 0;
}

void RewindStore::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    if (!enabled) clearLocked();
    enabled_ = enabled;
}

bool RewindStore::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void RewindStore::clearAll() {
    std::lock_guard lock(mutex_);
    clearLocked();
    spillBroken_ = false;  // a disk that filled up may have room again
}

// Copies of entries [from, to] with the configurations in their places: the
// one in force at a video start first, then each later one before the first
// part at or after its time.
std::vector<RewindStore::Entry> RewindStore::collect(const Camera& c, std::size_t from,
                                                     std::size_t to) const {
    std::vector<Entry> out;
    out.reserve(to - from + 2);
    const qint64 start = c.entries[from].time;
    auto next = std::lower_bound(c.configs.begin(), c.configs.end(), start,
                                 [](const Config& k, qint64 t) { return k.time < t; });
    if (c.entries[from].kind == Kind::VideoPacket) {
        next = std::upper_bound(c.configs.begin(), c.configs.end(), start,
                                [](qint64 t, const Config& k) { return t < k.time; });
        if (next != c.configs.begin()) --next;
    }
    for (std::size_t i = from; i <= to; ++i) {
        for (; next != c.configs.end() && next->time <= c.entries[i].time; ++next) {
            Entry k;
            k.time = next->time;
            k.kind = Kind::VideoConfig;
            k.size = next->bytes.size();
            k.bytes = next->bytes;
            out.push_back(std::move(k));
        }
        out.push_back(c.entries[i]);
    }
    return out;
}

bool RewindStore::read(const Entry& e, Part* out) {
    out->kind = e.kind;
    out->time = e.time;
    out->key = e.key;
    if (!e.segment) {
        out->bytes = e.bytes;
        return true;
    }
    return e.segment->read(e.offset, e.size, &out->bytes);
}

namespace {

// The index of the last entry at or before `time`, or -1.
template <class Entries>
qsizetype lastAtOrBefore(const Entries& entries, qint64 time) {
    const auto it = std::upper_bound(entries.begin(), entries.end(), time,
                                     [](qint64 t, const auto& e) { return t < e.time; });
    return qsizetype(it - entries.begin()) - 1;
}

}  // namespace

std::vector<RewindStore::Part> RewindStore::partBefore(const QString& camera, qint64 time) const {
    std::vector<Entry> picked;
    {
        std::lock_guard lock(mutex_);
        const auto it = cameras_.find(camera);
        if (it == cameras_.end()) return {};
        const Camera& c = it->second;
        const qsizetype last = lastAtOrBefore(c.entries, time);
        if (last < 0) return {};
        qsizetype start = last;
        while (start > 0 && !c.entries[std::size_t(start)].key) --start;
        picked = collect(c, std::size_t(start), std::size_t(last));
    }
    std::vector<Part> parts(picked.size());
    for (std::size_t i = 0; i < picked.size(); ++i)
        if (!read(picked[i], &parts[i])) return {};
    return parts;
}

bool RewindStore::forEachInRange(const QString& camera, qint64 from, qint64 to,
                                 const std::function<bool(const Part&)>& visit) const {
    std::vector<Entry> picked;
    {
        std::lock_guard lock(mutex_);
        const auto it = cameras_.find(camera);
        if (it == cameras_.end()) return true;
        const Camera& c = it->second;
        const qsizetype last = lastAtOrBefore(c.entries, to);
        qsizetype start = std::max<qsizetype>(lastAtOrBefore(c.entries, from), 0);
        while (start > 0 && !c.entries[std::size_t(start)].key) --start;
        if (last < start) return true;
        picked = collect(c, std::size_t(start), std::size_t(last));
    }
    for (const Entry& e : picked) {
        Part part;
        if (!read(e, &part)) return false;
        if (!visit(part)) return true;
    }
    return true;
}

std::vector<RewindStore::Part> RewindStore::range(const QString& camera, qint64 from,
                                                  qint64 to) const {
    std::vector<Part> parts;
    forEachInRange(camera, from, to, [&](const Part& p) {
        parts.push_back(p);
        return true;
    });
    return parts;
}

std::optional<RewindStore::Span> RewindStore::span(const QString& camera) const {
    std::lock_guard lock(mutex_);
    const auto it = cameras_.find(camera);
    if (it == cameras_.end() || it->second.entries.empty()) return std::nullopt;
    return Span{it->second.entries.front().time, it->second.entries.back().time};
}

QStringList RewindStore::cameras() const {
    std::lock_guard lock(mutex_);
    QStringList keys;
    for (const auto& [key, c] : cameras_)
        if (!c.entries.empty()) keys << key;
    return keys;
}

RewindStore::Usage RewindStore::usage() const {
    std::lock_guard lock(mutex_);
    Usage u;
    u.memoryBytes = memoryBytes_;
    u.diskBytes = disk_->bytes();
    u.files = disk_->segmentCount();
    for (const auto& [key, c] : cameras_) u.parts += int(c.entries.size());
    u.spilling = disk_->usable() && !spillBroken_;
    return u;
}
