// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindstore_disk.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

RewindSegment::~RewindSegment() {
    if (fd >= 0) ::close(fd);
}

bool RewindSegment::read(qint64 offset, qint64 size, QByteArray* out) const {
    if (size < 0 || offset < 0) return false;
    out->resize(qsizetype(size));
    qint64 done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, out->data() + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out->clear();
            return false;
        }
        done += n;
    }
    return true;
}

namespace {

// Opens the folder, making it and its missing parents 0700; -1 when it is a
// symbolic link, not a folder, not the user's own, or cannot be made.
int openFolder(const QString& folder) {
    if (folder.isEmpty()) return -1;
    const QByteArray path = QFile::encodeName(folder);
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        const QByteArray part = path.left(i);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) return -1;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* data, qint64 size, qint64 offset) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

RewindDisk::RewindDisk(const QString& folder, qint64 segmentBytes)
    : dirFd_(openFolder(folder)), segmentBytes_(std::max<qint64>(segmentBytes, 1)) {
    if (!usable()) return;
    struct stat st {};
    keptPending_ =
        ::fstatat(dirFd_, kIndexName, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
    if (!keptPending_) removeLeftovers();
}

RewindDisk::~RewindDisk() {
    segments_.clear();
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool RewindDisk::isOwnName(const QString& name) {
    static const QRegularExpression own(QStringLiteral("^rewind-[0-9]{1,10}-[0-9]{1,20}\\.zvr$"));
    return own.match(name).hasMatch();
}

namespace {

// The index while it is written: locked, so only a writer that died leaves it.
bool isIndexDraft(const QString& name) {
    static const QRegularExpression draft(QStringLiteral("^rewind-index-[0-9]{1,10}\\.tmp$"));
    return draft.match(name).hasMatch();
}

}  // namespace

// Only regular files of this user with the ring's own names, and only when no
// running store holds their lock: another viewer sharing the folder keeps its
// files, and nothing else in the folder is touched.
void RewindDisk::removeLeftovers() {
    const int scan = ::openat(dirFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scan < 0) return;
    DIR* dir = ::fdopendir(scan);
    if (!dir) {
        ::close(scan);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if (!isOwnName(name) && !isIndexDraft(name)) continue;
        const int fd = ::openat(dirFd_, e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd_, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

std::optional<RewindDisk::Place> RewindDisk::write(const QByteArray& bytes) {
    if (!usable()) return std::nullopt;
    if (segments_.empty() ||
        (segments_.back()->size > 0 && segments_.back()->size + bytes.size() > segmentBytes_)) {
        // A kept segment of an earlier run may bear this process's number.
        std::string name;
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 64; ++tries) {
            name = "rewind-" + std::to_string(::getpid()) + "-" + std::to_string(nextNumber_++) +
                   ".zvr";
            fd = ::openat(dirFd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) return std::nullopt;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            ::unlinkat(dirFd_, name.c_str(), 0);
            return std::nullopt;
        }
        segments_.push_back(std::make_shared<RewindSegment>(fd, name));
    }
    RewindSegment& s = *segments_.back();
    if (!writeAll(s.fd, bytes.constData(), bytes.size(), s.size)) {
        // What was half written past the index's end is never read; the
        // segment is cut back so the disk figure stays true.
        [[maybe_unused]] const int cut = ::ftruncate(s.fd, off_t(s.size));
        return std::nullopt;
    }
    const Place place{segments_.back(), s.size};
    s.size += bytes.size();
    bytes_ += bytes.size();
    return place;
}

std::shared_ptr<RewindSegment> RewindDisk::oldest() const {
    return segments_.empty() ? nullptr : segments_.front();
}

void RewindDisk::drop(const std::shared_ptr<RewindSegment>& segment) {
    const auto it = std::find(segments_.begin(), segments_.end(), segment);
    if (it == segments_.end()) return;
    ::unlinkat(dirFd_, segment->name.c_str(), 0);
    bytes_ -= segment->size;
    segments_.erase(it);
}

void RewindDisk::dropAll() {
    while (!segments_.empty()) drop(segments_.front());
}

void RewindDisk::letGoAll() {
    segments_.clear();
    bytes_ = 0;
}

std::optional<QByteArray> RewindDisk::readIndex(qint64 maxBytes) const {
    if (!usable()) return std::nullopt;
    const int fd = ::openat(dirFd_, kIndexName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::optional<QByteArray> out;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        st.st_size <= maxBytes) {
        const RewindSegment file(fd, kIndexName);  // closes fd
        QByteArray bytes;
        if (file.read(0, st.st_size, &bytes)) out = std::move(bytes);
        return out;
    }
    ::close(fd);
    return out;
}

bool RewindDisk::writeIndex(const QByteArray& bytes) {
    if (!usable()) return false;
    const std::string draft = "rewind-index-" + std::to_string(::getpid()) + ".tmp";
    ::unlinkat(dirFd_, draft.c_str(), 0);
    const int fd =
        ::openat(dirFd_, draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         writeAll(fd, bytes.constData(), bytes.size(), 0) && ::fsync(fd) == 0 &&
                         ::renameat(dirFd_, draft.c_str(), dirFd_, kIndexName) == 0;
    if (!written) ::unlinkat(dirFd_, draft.c_str(), 0);
    ::close(fd);
    return written;
}

void RewindDisk::removeIndex() {
    if (usable()) ::unlinkat(dirFd_, kIndexName, 0);
}

std::shared_ptr<RewindSegment> RewindDisk::adopt(const QString& name) {
    if (!usable()) return nullptr;
    const QByteArray encoded = QFile::encodeName(name);
    const int fd =
        ::openat(dirFd_, encoded.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto segment = std::make_shared<RewindSegment>(fd, encoded.toStdString());
    segment->size = st.st_size;
    bytes_ += segment->size;
    segments_.push_back(segment);
    return segment;
}

void RewindDisk::finishStart() {
    if (!keptPending_) return;
    keptPending_ = false;
    removeIndex();
    removeLeftovers();
}
