// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Keeps a camera's picture as evidence: the bytes exactly as the server sent
// them (never decoded and encoded again), in a folder of the person's, under
// a name made of the server's and camera's names and the time the picture arrived.
namespace PictureFile {

struct Saved {
    QString path;   // the file written; empty on failure
    QString error;  // why nothing was written, for the person
};

// "<server name> - <camera name> <yyyy-MM-dd hh-mm-ss>" with the extension
// the bytes call for (".jpg", ".png", or what the image format is named),
// each name cleaned of path separators and control characters, of leading
// dots and blanks, and the two cut to a length every file system takes; a
// server's name that cleans to nothing is left out, and a camera's becomes
// "Camera".
QString fileName(const QString& cameraName, const QDateTime& arrived, const QByteArray& bytes,
                 const QString& serverName = QString());

// Writes bytes into folder (made when missing) under fileName(), atomically
// (a temporary file in the folder, linked to its name only when whole) and
// never over an existing file: a name already taken gets " (2)", " (3)", ...
// before its extension. Nothing is written outside folder.
Saved save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
           const QByteArray& bytes, const QString& serverName = QString());

}  // namespace PictureFile
