// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "mp3frame.h"

// Reads an MP3 file that another thread is still writing: its ID3v2 tag, the
// stream format from its first frame, and its frames ("packets") by index.
// A packet is only handed out once it lies whole in the file, so a read made
// while the file grows never delivers a partial frame; packets appended after
// the file was opened are found by later reads.
//
// The stream may begin in the middle of a frame (a listener joining a live
// stream): the first frame is found by its sync word and confirmed by the
// header of the frame that follows. Damaged data between frames is skipped
// the same way. One thread uses an object at a time.
class Mp3File {
public:
    enum class Error {
        None,
        NotYetAudio,  // no confirmed frame yet: the file may still become audio
        NotAudio,     // a long stretch after the tag holds no frame at all
        CannotOpen,   // the file itself cannot be read
    };

    struct StreamFormat {
        double sampleRate = 0;
        std::uint32_t channels = 0;
        std::uint32_t framesPerPacket = 0;
        std::uint32_t bytesPerPacket = 0;  // 0: packets vary in size
        int version = 0;
        int layer = 0;
    };

    struct PacketDescription {
        std::int64_t startOffset = 0;  // within the bytes delivered by the read
        std::uint32_t variableFramesInPacket = 0;
        std::uint32_t dataByteSize = 0;
    };

    // Bytes after the tag that are searched for a first frame before the
    // data is judged not to be audio.
    static constexpr std::size_t kSearchLimit = 64 * 1024;

    // Opens path as it is now. endOfData says that the file is complete, so a
    // lone last frame needs no following header to be confirmed.
    static std::unique_ptr<Mp3File> open(const std::string& path, Error* error,
                                         bool endOfData = false);
    ~Mp3File();
    Mp3File(const Mp3File&) = delete;
    Mp3File& operator=(const Mp3File&) = delete;

    const std::vector<std::uint8_t>& id3Tag() const { return tag_; }
    const StreamFormat& format() const { return format_; }
    // Upper bound of a packet's size at the first frame's bit rate.
    std::uint32_t maximumPacketSize() const { return maxPacketSize_; }
    std::uint64_t dataOffset() const { return dataOffset_; }
    // Bytes of the ID3v2 tag at the file's start (0 without one).
    std::uint64_t tagSize() const { return tagSize_; }

    // Replaces out with the packets from index start on, whole packets only,
    // at most maxBytes and maxPackets of them, and describes each in descs
    // when it is given. Returns the number of packets; 0 when the file holds no
    // further complete packet yet. start must not go back before the last
    // read's start (reads go forward).
    std::uint32_t readPacketData(std::int64_t start, std::uint32_t maxBytes,
                                 std::uint32_t maxPackets, std::vector<std::uint8_t>& out,
                                 std::vector<PacketDescription>* descs);

private:
    explicit Mp3File(int fd) : fd_(fd) {}
    // Indexes complete frames that have arrived since the last call, until
    // wanted frames are indexed or the file has no further complete frame.
    void extendIndex(std::size_t wanted);

    int fd_ = -1;
    std::vector<std::uint8_t> tag_;
    StreamFormat format_;
    mp3::FrameHeader first_;
    std::uint32_t maxPacketSize_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::uint64_t tagSize_ = 0;

    struct Frame {
        std::uint64_t offset;
        std::uint32_t length;
    };
    std::deque<Frame> frames_;      // indexed frames from packet base_ on
    std::int64_t base_ = 0;         // index of frames_.front()
    std::uint64_t scanOffset_ = 0;  // where the next frame is looked for
};
