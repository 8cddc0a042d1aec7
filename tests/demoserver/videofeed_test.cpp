// SPDX-License-Identifier: GPL-3.0-or-later
// The demo server's H.264 encoder puts its key frames where it was asked:
// each frame's transport stream bytes are searched for an IDR picture's first
// slice.

#include "videofeed.h"

#include <QImage>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Whether the elementary stream in these transport stream packets starts an
// IDR picture (a slice of NAL type 5 with first_mb_in_slice 0).
bool startsKeyFrame(const std::string& ts) {
    std::string es;
    for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
        const auto* p = reinterpret_cast<const unsigned char*>(ts.data() + at);
        const int pid = ((p[1] & 0x1f) << 8) | p[2];
        if (p[0] != 0x47 || pid < 0x100 || pid == 0x1fff || !(p[3] & 0x10)) continue;
        size_t payload = 4 + ((p[3] & 0x20) ? 1 + size_t(p[4]) : 0);
        if ((p[1] & 0x40) && payload + 9 <= 188) payload += 9 + size_t(p[payload + 8]);
        if (payload < 188) es.append(reinterpret_cast<const char*>(p) + payload, 188 - payload);
    }
    for (size_t at = es.find(std::string("\0\0\1", 3));
         at != std::string::npos && at + 4 < es.size();
         at = es.find(std::string("\0\0\1", 3), at + 3))
        if ((es[at + 3] & 0x1f) == 5 && (es[at + 4] & 0x80)) return true;
    return false;
}

TEST(VideoFeed, KeyFramesEveryGopFrames) {
    const struct {
        int fps, gop;
        std::vector<int> keys;  // of 13 frames
    } cases[] = {
        {5, 0, {0, 5, 10}},  // a second's frames by default
        {5, 4, {0, 4, 8, 12}},
        {25, 6, {0, 6, 12}},
        {5, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    QImage frame(64, 48, QImage::Format_RGB32);
    for (const auto& c : cases) {
        demo::TsVideoEncoder encoder({64, 48}, c.fps, demo::TsVideoEncoder::Codec::H264, c.gop);
        ASSERT_TRUE(encoder.valid());
        std::vector<int> keys;
        for (int n = 0; n < 13; ++n) {
            frame.fill(QColor(100 + n, 100, 100));  // no scene cut
            if (startsKeyFrame(encoder.encode(frame))) keys.push_back(n);
        }
        EXPECT_EQ(keys, c.keys) << "fps " << c.fps << ", gop " << c.gop;
    }
}

}  // namespace
