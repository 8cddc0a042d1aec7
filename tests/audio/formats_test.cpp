// SPDX-License-Identifier: GPL-3.0-or-later
// The byte-level readers: MPEG frame headers and the frame search, the ID3
// tag, the growing-file reader and the output buffer sizing.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "id3tag.h"
#include "mp3file.h"
#include "mp3frame.h"
#include "qvraudiostream.h"
#include "soundsink.h"
#include "soundstream.h"

namespace {

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// A temporary file that grows as the test appends to it.
struct GrowingFile {
    char name[32] = "/tmp/zorvan-mp3-XXXXXX";
    int fd = ::mkstemp(name);
    ~GrowingFile() {
        ::close(fd);
        ::unlink(name);
    }
    void append(const std::string& s) {
        ASSERT_EQ(::write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
};

// The frames the reader hands out for the whole of data.
std::vector<std::string> framesOf(const std::string& data) {
    GrowingFile f;
    f.append(data);
    std::vector<std::string> frames;
    if (auto file = Mp3File::open(f.name, nullptr, true)) {
        std::vector<std::uint8_t> out;
        std::vector<Mp3File::PacketDescription> descs;
        for (std::int64_t packet = 0, n = 1; n > 0; packet += n) {
            n = file->readPacketData(packet, 16384, 50, out, &descs);
            for (const auto& d : descs)
                frames.emplace_back(reinterpret_cast<const char*>(out.data()) + d.startOffset,
                                    d.dataByteSize);
        }
    }
    return frames;
}

}  // namespace

TEST(Mp3Frame, Headers) {
    // clang-format off
    struct Row { std::uint8_t b[4]; int version, layer, bitRate, sampleRate, channels; std::uint32_t length, maxLength; };
    const Row rows[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 10, 3, 128, 44100, 2, 417, 418},
        {{0xFF, 0xFB, 0x92, 0xC4}, 10, 3, 128, 44100, 1, 418, 418},
        {{0xFF, 0xF3, 0x80, 0xC4}, 20, 3, 64, 22050, 1, 208, 209},
        {{0xFF, 0xE3, 0x18, 0xC4}, 25, 3, 8, 8000, 1, 72, 73},
        {{0xFF, 0xFD, 0x94, 0x00}, 10, 2, 160, 48000, 2, 480, 481},
        {{0xFF, 0xFF, 0x10, 0x00}, 10, 1, 32, 44100, 2, 32, 36},
    };
    // clang-format on
    for (const Row& r : rows) {
        const auto h = mp3::parseHeader(r.b, 4);
        ASSERT_TRUE(h) << int(r.b[1]) << " " << int(r.b[2]);
        EXPECT_EQ(std::tuple(h->version, h->layer, h->bitRate, h->sampleRate, h->channels,
                             h->length, h->maxLength),
                  std::tuple(r.version, r.layer, r.bitRate, r.sampleRate, r.channels, r.length,
                             r.maxLength));
    }
    const std::uint8_t refused[][4] = {
        {0xFE, 0xFB, 0x90, 0x44},  // no sync
        {0xFF, 0xEB, 0x90, 0x44},  // reserved version
        {0xFF, 0xF9, 0x90, 0x44},  // reserved layer
        {0xFF, 0xFB, 0x00, 0x44},  // free format
        {0xFF, 0xFB, 0xF0, 0x44},  // bad bit rate
        {0xFF, 0xFB, 0x9C, 0x44},  // reserved sample rate
        {0xFF, 0xFB, 0x90, 0x46},  // reserved emphasis
    };
    for (const auto& b : refused) EXPECT_FALSE(mp3::parseHeader(b, 4)) << int(b[1]) << int(b[2]);
    EXPECT_FALSE(mp3::parseHeader(rows[0].b, 3));
}

TEST(Mp3Frame, StreamsStartingAnywhereGiveOnlyWholeFrames) {
    const std::string mp3 = toneMp3(3000);
    const std::vector<std::string> all = framesOf(mp3);
    ASSERT_GT(all.size(), 100u);
    for (const std::string& f : all) ASSERT_TRUE(mp3::parseHeader(bytes(f).data(), f.size()));

    // Cut into the stream at several places, with a false sync word and
    // garbage before it and garbage between two frames further on: the
    // reader finds the next whole frame each time and hands out exactly the
    // frames of the original.
    size_t boundary = 0;
    for (size_t i = 0; i < 30; ++i) boundary += all[i].size();
    for (size_t cut : {1u, 100u, 207u, 208u, 5000u}) {
        const std::string stream = std::string("\xFF\xFB\x90", 3) + "junk" +
                                   mp3.substr(cut, boundary - cut) + "junk" + mp3.substr(boundary);
        const std::vector<std::string> frames = framesOf(stream);
        ASSERT_FALSE(frames.empty()) << cut;
        const size_t skipped = all.size() - frames.size();
        EXPECT_LE(skipped, cut / 200 + 2) << cut;
        for (size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], all[skipped + i]) << cut;
    }
}

TEST(Mp3File, GrowingFile) {
    const std::string tag = demo::SoundStream::id3v23(demo::SoundStream::textFrame("TIT2", "x"));
    const std::string mp3 = toneMp3(2000);
    GrowingFile f;
    Mp3File::Error error = Mp3File::Error::None;
    f.append(tag.substr(0, 5));
    EXPECT_FALSE(Mp3File::open(f.name, &error));
    EXPECT_EQ(error, Mp3File::Error::NotYetAudio);
    // Not audio at once when nothing more will come (text past the search
    // limit is the stream's "endless text" row).
    EXPECT_FALSE(Mp3File::open(f.name, &error, true));
    EXPECT_EQ(error, Mp3File::Error::NotAudio);
    // The first frame, but not yet the header that confirms it.
    f.append(tag.substr(5) + mp3.substr(0, 210));
    EXPECT_FALSE(Mp3File::open(f.name, &error));
    EXPECT_EQ(error, Mp3File::Error::NotYetAudio);
    f.append(mp3.substr(210, 290));
    auto file = Mp3File::open(f.name, &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->id3Tag(), bytes(tag));
    EXPECT_EQ(std::tuple(file->format().sampleRate, file->format().channels,
                         file->format().framesPerPacket, file->maximumPacketSize(),
                         file->dataOffset(), file->tagSize()),
              std::tuple(22050.0, 1u, 576u, 209u, tag.size(), tag.size()));

    // Only whole frames: 500 bytes hold two frames of 208/209.
    std::vector<std::uint8_t> out;
    std::vector<Mp3File::PacketDescription> descs;
    std::int64_t packet = file->readPacketData(0, 16384, 78, out, &descs);
    EXPECT_EQ(packet, 2);
    size_t total = out.size();
    EXPECT_EQ(file->readPacketData(packet, 16384, 78, out, &descs), 0u);
    // Frames appended after opening are found by the next read.
    f.append(mp3.substr(500));
    for (std::uint32_t n; (n = file->readPacketData(packet, 16384, 78, out, &descs)) > 0;) {
        packet += n;
        total += out.size();
    }
    // LAME's last frame is still partial (the encoder holds its end back):
    // every whole frame, as the finished file gives them, and nothing of that one.
    size_t whole = 0;
    for (const std::string& frame : framesOf(mp3)) whole += frame.size();
    EXPECT_LT(whole, mp3.size());
    EXPECT_EQ(total, whole);
}

TEST(Id3Tag, PictureLengthAndDictionary) {
    using demo::SoundStream;
    const std::string jpeg(986, 'J');
    // A frame of 1000 bytes after its header.
    std::string apic = SoundStream::pictureFrame("image/jpeg", jpeg);
    const std::string tlen = std::string("TLEN\0\0\0\x06\0\0\0", 11) + "12345";
    // picture: the JPEG comes out whole.
    // clang-format off
    struct Row { const char* name; std::string tag; bool picture; std::optional<std::string> duration, title; };
    // clang-format on
    const std::string pictureTag = SoundStream::id3v23(apic);
    std::string longDescription = pictureTag;
    longDescription[10 + 10 + 1 + 10 + 1 + 1] = 'D';  // the description's zero byte
    // clang-format off
    const Row rows[] = {
        {"picture", pictureTag, true, {}, {}},
        {"no picture", SoundStream::id3v23(SoundStream::textFrame("TIT2", "Hof")), false, {}, "Hof"},
        {"picture cut", pictureTag.substr(0, pictureTag.size() - 1), false, {}, {}},
        {"description runs on", longDescription, false, {}, {}},
        {"length and title", SoundStream::id3v23(SoundStream::textFrame("TIT2", "Двор") + tlen), false, "12345", "Двор"},
    };
    // clang-format on
    for (const Row& r : rows) {
        const auto b = bytes(r.tag);
        const id3::TagInfo info = id3::readTag(b.data(), b.size());
        EXPECT_EQ(std::tuple(info.image ? std::string(info.image->begin(), info.image->end()) : "-",
                             info.duration, info.title),
                  std::tuple(r.picture ? jpeg : "-", r.duration, r.title))
            << r.name;
    }
    // A tag of four bytes is not searched; one of five only at position 0.
    const std::uint8_t five[] = {'T', 'L', 'E', 'N', 0};
    EXPECT_FALSE(id3::readTag(five, 4).duration);
    EXPECT_FALSE(id3::readTag(five, 5).duration);  // found, but its size runs past the tag

    EXPECT_EQ(id3::tagSize(bytes(SoundStream::id3v23("abc")).data(), 13), 13u);
    const std::uint8_t notTag[] = {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0};
    EXPECT_EQ(id3::tagSize(notTag, 10), 0u);
    const std::uint8_t footer[] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0};
    EXPECT_EQ(id3::tagSize(footer, 10), 10u + 128u + 10u);
}

TEST(DeriveBufferSize, Rule) {
    // clang-format off
    struct Row { double rate; std::uint32_t framesPerPacket, maxPacket, size, packets; };
    // clang-format on
    const Row rows[] = {
        {22050, 576, 209, 16384, 78},      // raised to the smallest buffer
        {44100, 1152, 1045, 20001, 19},    // 19.14 packets x 1045
        {48000, 1152, 500000, 327680, 0},  // a packet larger than the largest buffer
        {44100, 0, 209, 327680, 1567},     // variable frames per packet
        {44100, 0, 400000, 400000, 1},
    };
    for (const Row& r : rows) {
        const Mp3File::StreamFormat f{.sampleRate = r.rate, .framesPerPacket = r.framesPerPacket};
        std::uint32_t size = 1, packets = 1;
        QVRAudioStream::DeriveBufferSize(f, r.maxPacket, 0.5, &size, &packets);
        EXPECT_EQ(std::pair(size, packets), std::pair(r.size, r.packets)) << r.maxPacket;
    }
}
