// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Makes the rename itself durable: without it a crash right after a save
// may bring back the old name's old content (or none) after the reboot.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

namespace SettingsFile {

bool makeFolder(const QString& folder) {
    const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
    // Each missing component from the root down, so that a fresh account
    // without ~/.local/share still gets its settings folder.
    qsizetype from = 1;
    for (;;) {
        const qsizetype slash = absolute.indexOf(u'/', from);
        const QByteArray part = QFile::encodeName(slash < 0 ? absolute : absolute.left(slash));
        struct stat st;
        const bool isFolder = ::stat(part.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!isFolder && ::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) return false;
        if (slash < 0) break;
        from = slash + 1;
    }
    return QFileInfo(absolute).isDir();
}

std::optional<QString> resolveLinks(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    // realpath follows every link of the chain and fails on a dangling one
    // or a loop.
    char* resolved = ::realpath(name.constData(), nullptr);
    if (!resolved) return std::nullopt;
    const QString target = QFile::decodeName(resolved);
    std::free(resolved);
    return target;
}

bool isRegularFile(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool mayReplace(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0) return true;
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return true;
    if (!S_ISLNK(st.st_mode)) return false;
    // Through the link: only a regular file, or nothing (saves then fail).
    return ::stat(name.constData(), &st) != 0 || S_ISREG(st.st_mode);
}

bool writeAtomically(const QString& path, const QByteArray& data) {
    const std::optional<QString> resolved = resolveLinks(path);
    if (!resolved) return false;
    const QByteArray target = QFile::encodeName(*resolved);
    // Only a regular file (or none yet) is replaced: renaming over a device
    // or a FIFO would destroy what the link was meant to say.
    if (exists(target) && !isRegularFile(*resolved)) return false;
    QByteArray temp = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // made with mode 0600
    if (fd < 0) return false;
    bool ok = writeAll(fd, data.constData(), data.size());
    ok = ok && ::fchmod(fd, 0600) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    syncFolder(QFile::encodeName(QFileInfo(*resolved).absolutePath()));
    return true;
}

bool moveAside(const QString& path) {
    const QByteArray from = QFile::encodeName(path);
    if (!exists(from)) return true;
    struct stat st;
    if (::lstat(from.constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return false;
    for (int i = 0; i < 1000; ++i) {
        QByteArray to = from + ".corrupt";
        if (i > 0) to += '.' + QByteArray::number(i);
        if (exists(to)) continue;
        return ::rename(from.constData(), to.constData()) == 0;
    }
    return false;
}

int removeStaleTemporaries(const QString& path, qint64 maxAgeSeconds) {
    // A save through a link leaves its temporary files beside the target.
    const std::optional<QString> resolved = resolveLinks(path);
    if (!resolved || (exists(QFile::encodeName(*resolved)) && !isRegularFile(*resolved))) return 0;
    const QFileInfo target(*resolved);
    QDir folder = target.absoluteDir();
    // mkostemp replaces the six X of the pattern with letters and digits.
    const QString prefix = target.fileName() + QStringLiteral(".tmp-");
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addSecs(-maxAgeSeconds);
    int removed = 0;
    const QFileInfoList entries =
        folder.entryInfoList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        const QString suffix = entry.fileName().mid(prefix.size());
        const bool ours =
            suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
                return c.isLetterOrNumber() && c.unicode() < 0x80;
            });
        if (!ours || entry.isSymLink() || entry.lastModified().toUTC() > oldest) continue;
        if (::unlink(QFile::encodeName(entry.absoluteFilePath()).constData()) == 0) ++removed;
    }
    return removed;
}

}  // namespace SettingsFile
