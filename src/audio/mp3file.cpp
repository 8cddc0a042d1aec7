// SPDX-License-Identifier: GPL-3.0-or-later
#include "mp3file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "id3tag.h"

namespace {

// A tag larger than this is skipped without being kept in memory: its
// picture would be of no use, and the server decides the size.
constexpr std::size_t kLargestKeptTag = 16u << 20;

// Bytes read per step of the frame index; far above the largest frame
// (2,881 bytes), so that a step always holds whole frames.
constexpr std::size_t kScanChunk = 64 * 1024;

std::uint64_t fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

// Reads up to n bytes at offset; returns how many were read.
std::size_t readAt(int fd, std::uint64_t offset, std::uint8_t* into, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, into + done, n - done, static_cast<off_t>(offset + done));
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

std::unique_ptr<Mp3File> Mp3File::open(const std::string& path, Error* error, bool endOfData) {
    Error ignored;
    Error& e = error ? *error : ignored;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        e = Error::CannotOpen;
        return nullptr;
    }
    std::unique_ptr<Mp3File> file(new Mp3File(fd));
    const std::uint64_t size = fileSize(fd);
    const Error notYet = endOfData ? Error::NotAudio : Error::NotYetAudio;

    std::uint8_t head[10];
    const std::size_t headLength = readAt(fd, 0, head, sizeof head);
    std::uint64_t tagLength = 0;
    if (headLength >= 3 && std::memcmp(head, "ID3", 3) == 0) {
        if (headLength < 10) {
            e = notYet;
            return nullptr;
        }
        tagLength = id3::tagSize(head, headLength);
    }
    if (tagLength > 0) {
        if (size < tagLength) {
            e = notYet;
            return nullptr;
        }
        if (tagLength <= kLargestKeptTag) {
            file->tag_.resize(static_cast<std::size_t>(tagLength));
            if (readAt(fd, 0, file->tag_.data(), file->tag_.size()) != file->tag_.size()) {
                e = Error::CannotOpen;
                return nullptr;
            }
        }
    }

    const std::uint64_t available = size - tagLength;
    // Enough to hold the search's reach plus a frame and the next header.
    const std::size_t windowLength =
        static_cast<std::size_t>(std::min<std::uint64_t>(available, kSearchLimit + 8192));
    std::vector<std::uint8_t> window(windowLength);
    if (readAt(fd, tagLength, window.data(), windowLength) != windowLength) {
        e = Error::CannotOpen;
        return nullptr;
    }
    const bool wholeFile = endOfData && windowLength == available;
    const mp3::Location first = mp3::findFrame(window.data(), windowLength, 0, nullptr, wholeFile);
    if (first.found != mp3::Found::Frame || first.offset > kSearchLimit) {
        const bool searchedEnough =
            windowLength >= kSearchLimit &&
            (first.found == mp3::Found::None || first.offset > kSearchLimit);
        e = searchedEnough ? Error::NotAudio : notYet;
        return nullptr;
    }

    file->first_ = first.header;
    file->format_.sampleRate = first.header.sampleRate;
    file->format_.channels = static_cast<std::uint32_t>(first.header.channels);
    file->format_.framesPerPacket = first.header.samplesPerFrame;
    file->format_.bytesPerPacket = 0;
    file->format_.version = first.header.version;
    file->format_.layer = first.header.layer;
    file->maxPacketSize_ = first.header.maxLength;
    file->dataOffset_ = tagLength + first.offset;
    file->tagSize_ = tagLength;
    file->scanOffset_ = file->dataOffset_;
    e = Error::None;
    return file;
}

Mp3File::~Mp3File() {
    if (fd_ >= 0) ::close(fd_);
}

void Mp3File::extendIndex(std::size_t wanted) {
    const std::uint64_t size = fileSize(fd_);
    std::vector<std::uint8_t> chunk;
    while (frames_.size() < wanted && scanOffset_ + 4 <= size) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - scanOffset_, kScanChunk));
        chunk.resize(n);
        if (readAt(fd_, scanOffset_, chunk.data(), n) != n) return;
        std::size_t pos = 0;
        bool waitForMore = false;
        while (pos + 4 <= n && frames_.size() < wanted) {
            const auto h = mp3::parseHeader(chunk.data() + pos, n - pos);
            if (h && mp3::sameStream(first_, *h)) {
                if (pos + h->length > n) {
                    // Incomplete here: either the file ends inside the frame
                    // (wait for it) or the chunk does (read on from here).
                    waitForMore = scanOffset_ + pos + h->length > size;
                    break;
                }
                frames_.push_back({scanOffset_ + pos, h->length});
                pos += h->length;
                continue;
            }
            // Not a frame where one should begin: find the next confirmed one.
            const mp3::Location next = mp3::findFrame(chunk.data(), n, pos + 1, &first_);
            pos = next.offset;
            if (next.found != mp3::Found::Frame) {
                waitForMore = true;
                break;
            }
        }
        if (pos == 0 && !waitForMore && frames_.size() < wanted) return;  // no progress
        scanOffset_ += pos;
        if (waitForMore) return;
    }
}

std::uint32_t Mp3File::readPacketData(std::int64_t start, std::uint32_t maxBytes,
                                      std::uint32_t maxPackets, std::vector<std::uint8_t>& out,
                                      std::vector<PacketDescription>* descs) {
    out.clear();
    if (descs) descs->clear();
    if (start < base_ || maxPackets == 0) return 0;
    // Reads go forward: frames before start are not needed again.
    while (base_ < start && !frames_.empty()) {
        frames_.pop_front();
        ++base_;
    }
    if (base_ < start) return 0;  // start lies beyond what has been indexed
    extendIndex(maxPackets);

    std::uint32_t packets = 0;
    std::size_t bytes = 0;
    for (const Frame& frame : frames_) {
        if (packets == maxPackets || bytes + frame.length > maxBytes) break;
        out.resize(bytes + frame.length);
        if (readAt(fd_, frame.offset, out.data() + bytes, frame.length) != frame.length) break;
        if (descs) {
            descs->push_back(
                {static_cast<std::int64_t>(bytes), format_.framesPerPacket, frame.length});
        }
        bytes += frame.length;
        ++packets;
    }
    out.resize(bytes);
    return packets;
}
