// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file side of clip export: a hidden temporary file in the target
// folder that the muxer writes through FFmpeg's I/O, and the move to its
// final name that never replaces a file already there. Only the clip
// writer's sources include this header.

#include <QString>

#include <cstdint>

struct AVIOContext;

namespace video {

// A name taken from a server made safe as a part of a file name: cut to
// maxChars characters and maxBytes bytes of UTF-8.
QString safeFileNamePart(const QString& name, const QString& fallback, int maxChars = 80,
                         int maxBytes = 100);

class ClipTempFile {
public:
    ClipTempFile() = default;
    ~ClipTempFile();  // removes the file unless published
    ClipTempFile(const ClipTempFile&) = delete;
    ClipTempFile& operator=(const ClipTempFile&) = delete;

    // Makes ".zorvan-clip-XXXXXX.part" in folder, readable only by its owner.
    bool create(const QString& folder, QString* error);
    // An output for the muxer, seekable (MP4 goes back to its header); owned
    // by this object. Null when out of memory.
    AVIOContext* io();
    // Flushes, gives the file the usual permissions and closes it; false
    // (with the reason) when a write had failed.
    bool finish(QString* error);
    // Moves the finished file to base.suffix, or "base (2).suffix" and on when taken. The final
    // path.
    QString publish(const QString& base, const QString& suffix, QString* error);

private:
    static int write(void* self, std::uint8_t* data, int size);
    static std::int64_t seek(void* self, std::int64_t offset, int whence);

    QString folder_, path_;
    int fd_ = -1;
    int errno_ = 0;  // the first failed write's
    AVIOContext* io_ = nullptr;
    bool published_ = false;
};

}  // namespace video
