// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// File-system steps of the settings store, kept apart so that their failure
// modes can be reasoned about (and tested) on their own.
namespace SettingsFile {

// Makes the folder and any missing parents, readable by the user alone
// (0700). Existing folders keep their mode. True when the folder exists
// afterwards.
bool makeFolder(const QString& folder);

// The file that path stands for: path itself, or, when path is a symbolic
// link (a settings file kept in a dotfiles folder, say), the file at the end
// of its links. None for a link that leads nowhere or round in a loop.
std::optional<QString> resolveLinks(const QString& path);

// Whether path (through its links) is a regular file.
bool isRegularFile(const QString& path);
// Whether what stands at path may be read and, when unreadable, moved aside
// and replaced: nothing, a regular file (also behind links), or a folder
// made in its place (not behind a link). A device (a link to /dev/null
// says "never save"), a FIFO, or a link to a folder is left alone.
bool mayReplace(const QString& path);

// Replaces the file at path with data so that a reader, or a crash at any
// moment, sees the old content or the new one, never a part: the data goes to
// a new file (mode 0600) in the same folder, is flushed to disk, then renamed
// over the old name. A symbolic link at path is written through: its target
// is replaced in the target's own folder and the link stays; a link that
// leads nowhere, or to anything but a regular file, is a failure. On
// failure the old file is untouched and the new one is removed.
bool writeAtomically(const QString& path, const QByteArray& data);

// Renames the regular file or folder at path to the first free name of
// path + ".corrupt", path + ".corrupt.1", ...; true also when nothing stands
// there, false for anything else (a device, a FIFO).
bool moveAside(const QString& path);

// Removes the temporary files that writeAtomically leaves beside path when
// the process is killed in the middle of a save, once they are older than
// maxAgeSeconds: a save takes far less, so no running save still owns them.
// Only regular files of exactly that name pattern are touched. Returns how
// many were removed.
int removeStaleTemporaries(const QString& path, qint64 maxAgeSeconds);

}  // namespace SettingsFile
