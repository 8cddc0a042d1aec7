// SPDX-License-Identifier: GPL-3.0-or-later
// Clips written from a rewind store as the viewer fills it (H.264 demuxed
// from the demo's MPEG-TS, stills as JPEG bytes), read back with ffprobe.

#include "clipwriter.h"
#include "videodecoder.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include "streams.h"

using namespace video;

namespace {

using ClipKind = RewindStore::Part::Kind;
constexpr qint64 kClipT0 = 1765000000000;
constexpr int kClipFrames = 50;  // 2 s at 25 a second, a key frame each second

// Config and packets as the viewer keeps them from a demo H.264 stream.
std::vector<RewindStore::Part> keptH264() {
    const QByteArray ts =
        transportStream(demo::TsVideoEncoder::Codec::H264, {320, 240}, kClipFrames, kClipT0);
    std::vector<RewindStore::Part> parts;
    qsizetype offset = 0;
    VideoDecoder decoder(
        [&](std::uint8_t* data, int size) {
            const qsizetype n = std::min<qsizetype>(size, ts.size() - offset);
            std::memcpy(data, ts.constData() + offset, size_t(n));
            offset += n;
            return int(n);
        },
        [] { return false; });
    decoder.setKeep([&](RewindStore::Part&& p) { parts.push_back(std::move(p)); });
    decoder.run([] { return Target{{32, 24}, {}}; }, [](VideoFrame&&) {});
    return parts;
}

QByteArray stillJpeg(int number) {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(number * 20 % 360, 200, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

// Camera "v": video packets every 40 ms; "s": stills every 125 ms, and one
// claiming a size no player should be handed, which clips leave out.
void fill(RewindStore& store) {
    int i = 0;
    for (RewindStore::Part p : keptH264()) {
        p.time = kClipT0 + 40 * (p.kind == ClipKind::VideoConfig ? 0 : i++);
        store.append("v", std::move(p));
    }
    for (int s = 0; s < 16; ++s) {
        if (s == 6)
            store.append("s", {ClipKind::Still, kClipT0 + 690,
                               claimingSize(stillJpeg(s), 60000, 60000), true});
        store.append("s", {ClipKind::Still, kClipT0 + 125 * s, stillJpeg(s), true});
    }
}

struct Probe {
    QString codec;
    int frames;
    double duration;
};
std::optional<Probe> probe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                        "format=duration:stream=codec_name,nb_read_frames", "-of", "json", path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonObject s = o["streams"].toArray().at(0).toObject();
    return Probe{s["codec_name"].toString(), s["nb_read_frames"].toString().toInt(),
                 o["format"].toObject()["duration"].toString().toDouble()};
}

QStringList everything(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

class ClipWriterTest : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("ffprobe").isEmpty()) GTEST_SKIP() << "no ffprobe";
        fill(store);
    }
    RewindStore store{QString()};
    QTemporaryDir dir;
};

TEST_F(ClipWriterTest, WritesWhatWasKeptFromTheFrameAtOrBeforeTheStart) {
    // clang-format off
    // start: the first picture in the file; frames: in it, shown: of them
    // from `from` on (an MP4 decodes the key frame before, unseen).
    const struct { const char* name; const char* camera; qint64 from, to, start; int frames, shown;
                   const char* codec; const char* suffix; } cases[] = {
        {"H.264 from a key frame", "v", 0, 620, 0, 16, 16, "h264", ".mp4"},
        {"H.264 from between key frames", "v", 1400, 1980, 1000, 25, 15, "h264", ".mp4"},
        {"stills from a still", "s", 250, 1050, 250, 7, 7, "mjpeg", ".mkv"},
        {"stills from between stills", "s", 300, 1100, 250, 7, 7, "mjpeg", ".mkv"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = planClip(store, c.camera, kClipT0 + c.from, kClipT0 + c.to);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->startMs, kClipT0 + c.from);
        EXPECT_EQ("." + plan->suffix, c.suffix);
        const ClipResult r =
            writeClip(store, c.camera, kClipT0 + c.from, kClipT0 + c.to, dir.path(), c.name, {});
        ASSERT_EQ(r.status, ClipResult::Status::Written) << r.error.toStdString();
        EXPECT_TRUE(r.path.endsWith(c.suffix)) << r.path.toStdString();
        EXPECT_EQ(r.startMs, kClipT0 + c.start);
        EXPECT_EQ(r.fromMs, kClipT0 + c.from);
        EXPECT_EQ(r.endMs, kClipT0 + c.to);
        EXPECT_EQ(r.frames, c.frames);
        EXPECT_FALSE(r.cutAtChange);
        const auto p = probe(r.path);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->codec, c.codec);
        EXPECT_EQ(p->frames, c.shown);
        EXPECT_NEAR(p->duration, double(c.to - c.from) / 1000, 0.0015);
        EXPECT_EQ(QFile(r.path).permissions() & QFile::WriteOther, 0);
    }
}

TEST_F(ClipWriterTest, EndsAtAChangeOfPicture) {
    store.append("v", {ClipKind::Still, kClipT0 + 49 * 40 + 10, stillJpeg(0), true});
    const ClipResult r = writeClip(store, "v", kClipT0 + 1100, kClipT0 + 3000, dir.path(), "c", {});
    ASSERT_EQ(r.status, ClipResult::Status::Written) << r.error.toStdString();
    EXPECT_TRUE(r.cutAtChange);
    EXPECT_EQ(r.frames, 25);
    EXPECT_EQ(r.endMs, kClipT0 + 49 * 40 + 10);
    EXPECT_EQ(probe(r.path)->frames, 22) << "those from 1100 on are shown";
}

TEST_F(ClipWriterTest, CancelLeavesNothingAndNamesAreNeverReused) {
    int asked = 0;
    const ClipResult cancelled = writeClip(store, "v", kClipT0, kClipT0 + 2000, dir.path(),
                                           "Clip %2", [&](double) { return ++asked < 1; });
    EXPECT_EQ(cancelled.status, ClipResult::Status::Cancelled);
    EXPECT_EQ(everything(dir.path()), QStringList());

    QFile existing(dir.filePath("Clip %2.mp4"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("mine");
    existing.close();
    for (const char* expected : {"Clip %2 (2).mp4", "Clip %2 (3).mp4"}) {
        const ClipResult r =
            writeClip(store, "v", kClipT0, kClipT0 + 500, dir.path(), "Clip %2", {});
        EXPECT_EQ(r.path, dir.filePath(expected));
    }
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "mine");
    EXPECT_EQ(writeClip(store, "none", kClipT0, kClipT0 + 500, dir.path(), "x", {}).status,
              ClipResult::Status::NothingKept);
    EXPECT_EQ(everything(dir.path()).size(), 3);
}

TEST(ClipFileName, NamesFromServersBecomeSafeFileNames) {
    const QDateTime at(QDate(2026, 12, 7), QTime(23, 41, 7));
    // clang-format off
    const struct { QString server, camera, expected; } cases[] = {
        {"Server", "Camera", "Server - Camera 2026-12-07 23-41-07.mp4"},
        {"../x/y:z", " .hidden\t", "_x_y_z - hidden_ 2026-12-07 23-41-07.mp4"},
        {"a\\b*?\"<>|", QString::fromUtf16(u"c\u202Egpj\0d", 7), "a_b______ - c_gpj_d 2026-12-07 23-41-07.mp4"},
        {"", "...", "Server - Camera 2026-12-07 23-41-07.mp4"},
        {QString(90, 'n'), QString(40, u'\u4e2d'), QString(80, 'n') + " - " + QString(33, u'\u4e2d') + " 2026-12-07 23-41-07.mp4"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(clipFileName(c.server, c.camera, at, "mp4"), c.expected);
}

}  // namespace
