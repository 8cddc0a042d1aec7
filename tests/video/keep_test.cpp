// SPDX-License-Identifier: GPL-3.0-or-later
// What the decoder hands over to be kept for going back: an H.264 stream's
// configuration first and then every packet, its key frames found even where
// the transport stream flags none; an MJPEG stream's pictures as stills; the
// configuration's bytes read back, and refused when they are not one.

#include <gtest/gtest.h>

#include <vector>

#include "keptvideo.h"
#include "streams.h"
#include "videodecoder.h"

namespace {
using Kind = RewindStore::Part::Kind;
using demo::TsVideoEncoder;
}  // namespace

TEST(KeptStream, EachStreamHandsOverWhatAViewerCanShowAgain) {
    const QSize size(320, 240);
    struct Case {
        const char* name;
        QByteArray stream;
        int frames;
        std::vector<Kind> firstKinds;
        std::vector<int> keysAt;  // indices among the packets (not the configuration)
    };
    // The demo encoder makes a key frame each second (25 frames).
    const Case cases[] = {
        {"H.264 in MPEG-TS",
         transportStream(TsVideoEncoder::Codec::H264, size, 60, 1),
         60,
         {Kind::VideoConfig, Kind::VideoPacket},
         {0, 25, 50}},
        {"multipart JPEG",
         multipartOf(demoJpeg(size, 1), 4),
         4,
         {Kind::Still, Kind::Still},
         {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RewindStore::Part> kept;
        video::decodeBytes(c.stream, {}, 1000,
                           [&](RewindStore::Part&& part) { kept.push_back(std::move(part)); });
        ASSERT_GE(kept.size(), c.firstKinds.size());
        for (std::size_t i = 0; i < c.firstKinds.size(); ++i)
            EXPECT_EQ(kept[i].kind, c.firstKinds[i]);
        std::vector<int> keys;
        int packets = 0;
        for (const RewindStore::Part& p : kept) {
            if (p.kind == Kind::VideoConfig) continue;
            if (p.key) keys.push_back(packets);
            EXPECT_FALSE(p.bytes.isEmpty());
            ++packets;
        }
        EXPECT_EQ(packets, c.frames);
        EXPECT_EQ(keys, c.keysAt);
        if (kept.front().kind == Kind::VideoConfig) {
            const auto config = video::decodeKeptConfig(kept.front().bytes);
            ASSERT_TRUE(config);
            EXPECT_EQ(config->codec, QStringLiteral("h264"));
        }
    }
}

TEST(KeptStream, ConfigurationBytesThatAreNotOneAreRefused) {
    const QByteArray good = [] {
        std::vector<RewindStore::Part> kept;
        video::decodeBytes(transportStream(TsVideoEncoder::Codec::H264, {64, 48}, 2, 1), {}, 10,
                           [&](RewindStore::Part&& p) { kept.push_back(std::move(p)); });
        return kept.empty() ? QByteArray() : kept.front().bytes;
    }();
    ASSERT_TRUE(video::decodeKeptConfig(good));
    QByteArray huge = good;
    huge.replace(huge.size() - 8, 4, QByteArray("\xff\xff\x00\x00", 4));  // height 65535
    const QByteArray bad[] = {QByteArray(), good.left(good.size() / 2), "ZVC1garbage", huge};
    for (const QByteArray& b : bad)
        EXPECT_FALSE(video::decodeKeptConfig(b)) << b.toHex().constData();
}
