// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Keeps a camera's picture as evidence: the bytes exactly as the server sent
// them (never decoded and encoded again), in a folder of the person's, under
// a name made of the camera's name and the time the picture arrived.
namespace PictureFile {

struct Saved {
    QString path;   // the file written; empty on failure
    QString error;  // why nothing was written, for the person
};

// "<camera name> <yyyy-MM-dd hh-mm-ss>" with the extension the bytes call
// for (".jpg", ".png", or what the image format is named), the name cleaned
// of path separators and control characters, of leading dots and blanks,
// and cut to a length every file system takes; "Camera" for a name that
// cleans to nothing.
QString fileName(const QString& cameraName, const QDateTime& arrived, const QByteArray& bytes);

// Writes bytes into folder (made when missing) under fileName(), atomically
// (a temporary file in the folder, linked to its name only when whole) and
// never over an existing file: a name already taken gets " (2)", " (3)", ...
// before its extension. Nothing is written outside folder.
Saved save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
           const QByteArray& bytes);

}  // namespace PictureFile
