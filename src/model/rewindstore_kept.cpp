// SPDX-License-Identifier: GPL-3.0-or-later
// Handing the rewind ring over from one run to the next: at quit the store
// writes an index of what its files hold, at the next start it reads the
// index back, checks all of it and takes the files over.
//
// The index, little-endian:
//   "ZVRI" u32 version
//   u32 segments, each: u16 length, file name
//   u32 cameras, each: u32 length, key (UTF-8)
//     u32 configurations, each: i64 time, u32 length, bytes
//     u32 parts, each: u8 kind (0 still, 1 packet), u8 key, i64 time,
//                      u32 segment, i64 offset, i64 size
//   "ZVRE"

#include "rewindstore.h"
#include "rewindstore_disk.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <set>

namespace {

constexpr quint32 kKeptVersion = 1;
constexpr char kKeptMagic[] = "ZVRI";
constexpr char kKeptEnd[] = "ZVRE";
// Far beyond an hour of 25 packets a second from many cameras (30 bytes a
// part), small enough to read at start.
constexpr qint64 kKeptIndexMax = qint64(256) << 20;
constexpr quint32 kKeptKeyMax = 4096;
constexpr quint32 kKeptConfigMax = 1 << 20;  // as the store keeps
constexpr int kKeptPartBytes = 1 + 1 + 8 + 4 + 8 + 8;
// A clock a little ahead in the last run is forgiven; more, and the times
// cannot be trusted to line up with this run's.
constexpr qint64 kKeptFutureMs = 60 * 1000;

class IndexWriter {
public:
    template <class T>
    void put(T value) {
        char b[sizeof(T)];
        qToLittleEndian(value, b);
        out.append(b, sizeof(T));
    }
    void bytes(const QByteArray& b) { out.append(b); }
    QByteArray out;
};

// Reads the index; any read past its end spoils it, and what follows reads
// as zero.
class IndexReader {
public:
    explicit IndexReader(const QByteArray& in) : in_(in) {}
    template <class T>
    T get() {
        if (!ok || in_.size() - pos_ < qsizetype(sizeof(T))) {
            ok = false;
            return T{};
        }
        const T v = qFromLittleEndian<T>(in_.constData() + pos_);
        pos_ += sizeof(T);
        return v;
    }
    QByteArray bytes(quint64 n) {
        if (!ok || quint64(in_.size() - pos_) < n) {
            ok = false;
            return {};
        }
        const QByteArray b = in_.mid(pos_, qsizetype(n));
        pos_ += qsizetype(n);
        return b;
    }
    // Whether `count` records of at least `each` bytes can still follow.
    bool room(quint64 count, quint64 each) {
        if (ok && quint64(in_.size() - pos_) / each < count) ok = false;
        return ok;
    }
    bool atEnd() const { return pos_ == in_.size(); }
    bool ok = true;

private:
    const QByteArray& in_;
    qsizetype pos_ = 0;
};

}  // namespace

QByteArray RewindStore::keptIndex() const {
    IndexWriter w;
    w.bytes(kKeptMagic);
    w.put<quint32>(kKeptVersion);
    std::map<const RewindSegment*, quint32> number;
    w.put<quint32>(quint32(disk_->segments().size()));
    for (const auto& s : disk_->segments()) {
        number.emplace(s.get(), quint32(number.size()));
        w.put<quint16>(quint16(s->name.size()));
        w.bytes(QByteArray::fromStdString(s->name));
    }
    quint32 count = 0;
    for (const auto& [key, c] : cameras_) count += c.onDisk > 0;
    w.put<quint32>(count);
    for (const auto& [key, c] : cameras_) {
        if (c.onDisk == 0) continue;
        const QByteArray k = key.toUtf8();
        w.put<quint32>(quint32(k.size()));
        w.bytes(k);
        w.put<quint32>(quint32(c.configs.size()));
        for (const Config& config : c.configs) {
            w.put<qint64>(config.time);
            w.put<quint32>(quint32(config.bytes.size()));
            w.bytes(config.bytes);
        }
        w.put<quint32>(quint32(c.onDisk));
        for (std::size_t i = 0; i < c.onDisk; ++i) {
            const Entry& e = c.entries[i];
            w.put<quint8>(e.kind == Part::Kind::Still ? 0 : 1);
            w.put<quint8>(e.key ? 1 : 0);
            w.put<qint64>(e.time);
            w.put<quint32>(number.at(e.segment.get()));
            w.put<qint64>(e.offset);
            w.put<qint64>(e.size);
        }
    }
    w.bytes(kKeptEnd);
    return w.out;
}

bool RewindStore::keepForNextRun() {
    std::lock_guard lock(mutex_);
    bool kept = false;
    if (enabled_ && disk_->usable()) {
        trimAll();
        spillBroken_ = false;  // a full disk may have room again
        while (spillOldest()) {
        }
        kept = disk_->writeIndex(keptIndex());
    }
    if (kept) {
        cameras_.clear();
        disk_->letGoAll();
        memoryBytes_ = 0;
        newest_ = lastSweep_ = 0;
    } else {
        clearLocked();
    }
    enabled_ = false;
    return kept;
}

// Checks the whole index before anything is taken over: the segment names
// are the ring's own and each named once, every part lies inside its file,
// in time and ring order, and starts decodable; times are not in the future.
bool RewindStore::takeOver(const QByteArray& index, qint64 now) {
    IndexReader r(index);
    if (r.bytes(4) != kKeptMagic || r.get<quint32>() != kKeptVersion) return false;
    const qint64 latest = now + kKeptFutureMs;
    std::vector<std::shared_ptr<RewindSegment>> segments;
    std::set<QString> names;
    const quint32 segmentCount = r.get<quint32>();
    if (!r.room(segmentCount, 2)) return false;
    for (quint32 i = 0; i < segmentCount; ++i) {
        const QString name = QString::fromLatin1(r.bytes(r.get<quint16>()));
        if (!r.ok || !RewindDisk::isOwnName(name) || !names.insert(name).second) return false;
        auto segment = disk_->adopt(name);
        if (!segment) return false;
        segments.push_back(std::move(segment));
    }
    std::map<QString, Camera> kept;
    const quint32 cameraCount = r.get<quint32>();
    if (!r.room(cameraCount, 12)) return false;
    for (quint32 i = 0; i < cameraCount; ++i) {
        const quint32 keyLength = r.get<quint32>();
        if (keyLength == 0 || keyLength > kKeptKeyMax) return false;
        const QString key = QString::fromUtf8(r.bytes(keyLength));
        if (!r.ok || kept.count(key)) return false;
        Camera& c = kept[key];
        const quint32 configCount = r.get<quint32>();
        if (!r.room(configCount, 12)) return false;
        for (quint32 k = 0; k < configCount; ++k) {
            Config config;
            config.time = r.get<qint64>();
            const quint32 length = r.get<quint32>();
            if (length > kKeptConfigMax) return false;
            config.bytes = r.bytes(length);
            if (!r.ok || config.time < 0 || config.time > latest ||
                (!c.configs.empty() && config.time < c.configs.back().time))
                return false;
            c.configs.push_back(std::move(config));
        }
        const quint32 partCount = r.get<quint32>();
        if (partCount == 0 || !r.room(partCount, kKeptPartBytes)) return false;
        quint32 lastSegment = 0;
        for (quint32 k = 0; k < partCount; ++k) {
            const quint8 kind = r.get<quint8>(), keyFlag = r.get<quint8>();
            Entry e;
            e.kind = kind == 0 ? Part::Kind::Still : Part::Kind::VideoPacket;
            e.key = keyFlag == 1;
            e.time = r.get<qint64>();
            const quint32 segment = r.get<quint32>();
            e.offset = r.get<qint64>();
            e.size = r.get<qint64>();
            if (!r.ok || kind > 1 || keyFlag > 1 || (kind == 0 && !e.key) || (k == 0 && !e.key) ||
                e.time < 0 || e.time > latest ||
                (!c.entries.empty() && e.time < c.entries.back().time) ||
                segment >= segments.size() || segment < lastSegment)
                return false;
            lastSegment = segment;
            e.segment = segments[segment];
            if (e.offset < 0 || e.size < 0 || e.offset > e.segment->size ||
                e.size > e.segment->size - e.offset)
                return false;
            c.entries.push_back(std::move(e));
        }
        c.onDisk = c.entries.size();
    }
    if (!r.ok || r.bytes(4) != kKeptEnd || !r.atEnd()) return false;

    for (auto& [key, c] : kept) {
        for (const Entry& e : c.entries) ++e.segment->live;
        for (const Config& config : c.configs) memoryBytes_ += config.bytes.size();
        newest_ = std::max(newest_, c.entries.back().time);
    }
    cameras_ = std::move(kept);
    for (const auto& s : segments)
        if (s->live == 0) disk_->drop(s);
    newest_ = std::max(newest_, now);
    lastSweep_ = newest_;
    trimAll();
    enforceDiskCap(0);
    enforceMemoryCap();
    return true;
}

void RewindStore::loadKept() {
    std::lock_guard lock(mutex_);
    if (!disk_->keptPending()) return;
    if (enabled_ && cameras_.empty() && disk_->segmentCount() == 0) {
        const std::optional<QByteArray> index = disk_->readIndex(kKeptIndexMax);
        if (!index || !takeOver(*index, QDateTime::currentMSecsSinceEpoch())) {
            cameras_.clear();
            memoryBytes_ = 0;
            newest_ = lastSweep_ = 0;
            disk_->dropAll();  // those already taken over
        }
    }
    disk_->finishStart();  // the index, and every file not taken over
}
