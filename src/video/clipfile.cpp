// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipfile.h"

#include "avhandles.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace video {
namespace {

constexpr int kClipIoBuffer = 256 * 1024;
constexpr int kMaxClipCopies = 9999;

QString clipErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool unsafeInFileName(QChar c) {
    static const QString kReserved = QStringLiteral("/\\:*?\"<>|");
    if (c.category() == QChar::Other_Control || kReserved.contains(c)) return true;
    // Direction overrides make a name read otherwise than it is.
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// Cuts after `chars` characters and `bytes` UTF-8 bytes, never inside a
// surrogate pair.
QString cutName(const QString& s, int chars, int bytes) {
    int count = 0, used = 0;
    qsizetype i = 0;
    while (i < s.size() && count < chars) {
        const qsizetype n = s[i].isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        const int size = n == 2 ? 4 : (s[i].unicode() < 0x80 ? 1 : s[i].unicode() < 0x800 ? 2 : 3);
        if (used + size > bytes) break;
        used += size;
        i += n;
        ++count;
    }
    return s.left(i);
}

bool moveToAbsentName(const QByteArray& from, const QByteArray& to, int* error) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    *error = errno;
    if (*error != EINVAL && *error != ENOSYS && *error != ENOTSUP) return false;
    // A file system without the no-replace rename: a second link cannot
    // replace either.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    *error = errno;
    if (*error == EEXIST) return false;
    // No hard links either (FAT on a memory stick): take the name with an
    // exclusive create, then replace that file of our own.
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    ::close(fd);
    if (::rename(from.constData(), to.constData()) == 0) return true;
    *error = errno;
    ::unlink(to.constData());
    return false;
}

}  // namespace

QString safeFileNamePart(const QString& name, const QString& fallback, int maxChars, int maxBytes) {
    QString out = name;
    for (QChar& c : out)
        if (unsafeInFileName(c)) c = u'_';
    out = out.trimmed();
    while (out.startsWith(u'.')) out = out.mid(1).trimmed();
    out = cutName(out, maxChars, maxBytes).trimmed();
    // A surrogate without its pair is no character.
    for (qsizetype i = 0; i < out.size(); ++i) {
        const bool pair =
            out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate();
        if (pair)
            ++i;
        else if (out[i].isSurrogate())
            out[i] = u'_';
    }
    return out.isEmpty() ? fallback : out;
}

ClipTempFile::~ClipTempFile() {
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) ::close(fd_);
    if (!path_.isEmpty() && !published_) ::unlink(QFile::encodeName(path_).constData());
}

bool ClipTempFile::create(const QString& folder, QString* error) {
    folder_ = folder;
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.zorvan-clip-XXXXXX.part"));
    fd_ = ::mkostemps(pattern.data(), 5, O_CLOEXEC);  // 0600
    if (fd_ < 0) {
        *error = QCoreApplication::translate("Zorvan", "Cannot write in %1: %2")
                     .arg(folder, clipErrnoText(errno));
        return false;
    }
    path_ = QFile::decodeName(pattern);
    return true;
}

int ClipTempFile::write(void* self, std::uint8_t* data, int size) {
    auto* file = static_cast<ClipTempFile*>(self);
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(file->fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!file->errno_) file->errno_ = n < 0 ? errno : ENOSPC;
            return AVERROR(file->errno_);
        }
        done += static_cast<int>(n);
    }
    return size;
}

std::int64_t ClipTempFile::seek(void* self, std::int64_t offset, int whence) {
    auto* file = static_cast<ClipTempFile*>(self);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(file->fd_, &st) == 0 ? std::int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(file->fd_, off_t(offset), whence);
    return at < 0 ? AVERROR(errno) : std::int64_t(at);
}

AVIOContext* ClipTempFile::io() {
    if (io_ || fd_ < 0) return io_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kClipIoBuffer));
    if (!buffer) return nullptr;
    io_ = avio_alloc_context(buffer, kClipIoBuffer, 1, this, nullptr, &ClipTempFile::write,
                             &ClipTempFile::seek);
    if (!io_) av_free(buffer);
    return io_;
}

bool ClipTempFile::finish(QString* error) {
    if (io_) avio_flush(io_);
    int failed = errno_;
    // Written whole: readable by others as any file the user makes.
    if (fd_ >= 0 && ::fchmod(fd_, 0644) != 0 && !failed) failed = errno;
    if (fd_ >= 0 && ::close(fd_) != 0 && !failed) failed = errno;
    fd_ = -1;
    if (io_ && io_->error < 0 && !failed) failed = AVUNERROR(io_->error);
    if (failed)
        *error = QCoreApplication::translate("Zorvan", "Cannot write the clip: %1")
                     .arg(clipErrnoText(failed));
    return !failed;
}

QString ClipTempFile::publish(const QString& base, const QString& suffix, QString* error) {
    const QByteArray from = QFile::encodeName(path_);
    const QString dot = suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix;
    for (int n = 1; n <= kMaxClipCopies; ++n) {
        const QString name =
            n == 1 ? base + dot : QStringLiteral("%1 (%2)%3").arg(base, QString::number(n), dot);
        const QString path = folder_ + u'/' + name;
        int failed = 0;
        if (moveToAbsentName(from, QFile::encodeName(path), &failed)) {
            published_ = true;
            return path;
        }
        if (failed != EEXIST) {
            *error = QCoreApplication::translate("Zorvan", "Cannot save %1: %2")
                         .arg(path, clipErrnoText(failed));
            return {};
        }
    }
    *error = QCoreApplication::translate("Zorvan", "There are too many clips named %1 in %2.")
                 .arg(base, folder_);
    return {};
}

}  // namespace video
