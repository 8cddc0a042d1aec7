// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// Room left in a 255-byte file name for the time, a " (NN)" and the
// extension.
constexpr qsizetype kMaxNameBytes = 180;

QString text(const char* key) {
    return QCoreApplication::translate("Zorvan", key);
}

QString extensionFor(const QByteArray& bytes) {
    if (bytes.startsWith("\xff\xd8")) return QStringLiteral("jpg");
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return QStringLiteral("png");
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&device).toLower();
    // Only a plain word from the reader: it becomes part of a file name.
    for (const char c : format)
        if (!(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9')) return QStringLiteral("dat");
    return format.isEmpty() ? QStringLiteral("dat") : QString::fromLatin1(format);
}

// A camera's or server's name as a piece of a file name: separators become
// dashes, control and format characters go, and so do leading dots and
// blanks, so no name can lead out of the folder or make a hidden file.
QString cleanPiece(const QString& name) {
    QString out;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\') {
            out += u'-';
        } else if (c.isPrint() || c.isSurrogate()) {
            out += c;
        }
    }
    qsizetype start = 0;
    while (start < out.size() && (out[start] == u'.' || out[start].isSpace())) ++start;
    return out.mid(start).trimmed();
}

// "<server> - <camera>", or the camera alone where the server's name cleans
// to nothing, cut to a length every file system takes; "Camera" for a camera
// whose name cleans to nothing.
QString cleanName(const QString& serverName, const QString& cameraName) {
    QString camera = cleanPiece(cameraName);
    if (camera.isEmpty()) camera = QStringLiteral("Camera");
    const QString server = cleanPiece(serverName);
    QString out = server.isEmpty() ? camera : server + QStringLiteral(" - ") + camera;
    while (out.toUtf8().size() > kMaxNameBytes) {
        out.chop(out.size() >= 2 && out[out.size() - 1].isLowSurrogate() ? 2 : 1);
        out = out.trimmed();
    }
    return out;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= n;
    }
    return true;
}

PictureFile::Saved failure(const QString& path, int error) {
    return {QString(), text("Cannot save the picture: %1")
                           .arg(QStringLiteral("%1 (%2)").arg(
                               path, QString::fromLocal8Bit(std::strerror(error))))};
}

}  // namespace

namespace PictureFile {

QString fileName(const QString& cameraName, const QDateTime& arrived, const QByteArray& bytes,
                 const QString& serverName) {
    return QStringLiteral("%1 %2.%3")
        .arg(cleanName(serverName, cameraName),
             arrived.toString(QStringLiteral("yyyy-MM-dd hh-mm-ss")), extensionFor(bytes));
}

Saved save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
           const QByteArray& bytes, const QString& serverName) {
    if (!QDir().mkpath(folder)) return failure(folder, errno ? errno : EACCES);
    const QString name = fileName(cameraName, arrived, bytes, serverName);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = name.left(dot), extension = name.mid(dot);

    // Whole on disk before it has its name, so nobody ever sees a part of
    // it under the name.
    QByteArray temp = QFile::encodeName(folder) + "/.zorvan-picture-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failure(folder, errno);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::fchmod(fd, 0644);
    ::close(fd);
    if (!written) {
        ::unlink(temp.constData());
        return failure(folder, writeError);
    }
    for (int n = 1; n < 1000; ++n) {
        const QString path =
            folder + u'/' + stem + (n > 1 ? QStringLiteral(" (%1)").arg(n) : QString()) + extension;
        const QByteArray target = QFile::encodeName(path);
        // A link never replaces what stands at its name: a second picture
        // in the same second takes the next free number.
        if (::link(temp.constData(), target.constData()) == 0) {
            ::unlink(temp.constData());
            return {path, QString()};
        }
        if (errno == EEXIST) continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) {
            const int error = errno;
            ::unlink(temp.constData());
            return failure(path, error);
        }
        // A file system without hard links (a memory card's, say): the
        // name is still never taken from an existing file.
        const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0 && errno == EEXIST) continue;
        const bool ok = out >= 0 && writeAll(out, bytes) && ::fsync(out) == 0;
        const int error = errno;
        if (out >= 0) ::close(out);
        ::unlink(temp.constData());
        if (!ok) {
            if (out >= 0) ::unlink(target.constData());
            return failure(path, error);
        }
        return {path, QString()};
    }
    ::unlink(temp.constData());
    return failure(folder + u'/' + name, EEXIST);
}

}  // namespace PictureFile
