// SPDX-License-Identifier: GPL-3.0-or-later
// The stream against real HTTP on 127.0.0.1, with the sound that reaches a
// private PulseAudio null sink checked for its frequency and level.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "camserver.h"
#include "playerview.h"
#include "qvraudiostream.h"
#include "scriptedserver.h"
#include "slowresolver.h"
#include "soundsink.h"
#include "soundstream.h"
#include "tempfolder.h"
#include "testutil.h"

namespace {

using After = ScriptedServer::Reply::After;
using Stream = QVRAudioStream;
using Check = std::function<bool(const Stream&)>;

// "200 OK" for audio/mpeg with a Content-Length when length >= 0.
std::string audioHead(long long length, const char* version = "HTTP/1.1") {
    return std::string(version) + " 200 OK\r\nContent-Type: audio/mpeg\r\n" +
           (length >= 0 ? "Content-Length: " + std::to_string(length) + "\r\n" : "") +
           "Connection: close\r\n\r\n";
}

// An endless-length MP3 answer: body at bytesPerSecond (0: at once).
ScriptedServer::Reply mp3Reply(std::string body, int bytesPerSecond = 0,
                               After after = After::Close) {
    return ScriptedServer::stream(audioHead(-1), std::move(body), bytesPerSecond, after);
}

std::string tagWithPicture() {
    using demo::SoundStream;
    return SoundStream::id3v23(SoundStream::textFrame("TIT2", "Yard") +
                               SoundStream::pictureFrame("image/png", std::string(3000, 'P')));
}

std::shared_ptr<QVRAudioStream> streamFor(const std::string& url, std::int64_t bufferSize,
                                          QVRAudioStream::Options options = {}) {
    options.bufferSizePreference = bufferSize;
    options.stallTimeoutMs = 1000;  // a stalled server is found out at once
    auto stream = QVRAudioStream::initWithURL(url, options);
    stream->setVolume(1.0f);  // the gain is process-wide
    return stream;
}

// Files left in the private sound folder.
QStringList leftovers() {
    return QDir(QString::fromStdString(AudioTempFolder::path()))
        .entryList(QDir::Files | QDir::System | QDir::Hidden);
}

}  // namespace

// How a run ends: the server ends it, fails or sends something else, or the
// listener stops it in some phase. What reached the sink (the tone at the
// gain asked, or silence from the stop on), how the stream reports the end,
// and that no file is left.
TEST(StreamSound, HowARunEnds) {
    NEED_SOUND_SERVER();
    const std::string tone = toneMp3(3000), tagged = tagWithPicture() + tone;
    const std::string longTone = toneMp3(20000);
    const std::string page = "<html><body>Not here</body></html>\n";
    const auto closes =
        ScriptedServer::stream(audioHead(static_cast<long long>(tagged.size())), tagged, 24000);
    const Check connecting = [](const QVRAudioStream& s) { return s.isActive(); };
    const Check buffering = [](const QVRAudioStream& s) { return s.bytesDownloaded() > 1000; };
    const Check playing = [](const Stream& s) { return s.status() == Stream::Playing; };
    const Check ended = [](const QVRAudioStream& s) { return !s.isActive(); };
    // soundSeconds: at least this much tone reaches the sink, at RMS 0.35 x
    // gain; message: the status message begins with it, null: a stop, silent
    // at once; base, empty: the scripted server's address; fileSizeLimit: the
    // process's, while the sound downloads.
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the file size limit fails instead
    // clang-format off
    struct Row { const char* name; ScriptedServer::Reply plan; float gain; std::int64_t bufferSize, contentLength;
                 double soundSeconds; const char* message; int finalStatus; Check stopAt = nullptr;
                 std::string base = ""; rlim_t fileSizeLimit = RLIM_INFINITY; };
    const Row rows[] = {
        {"server closes mid-stream", closes, 1.0f, 100, static_cast<std::int64_t>(tagged.size()), 2.3, "Closed by server. HTTP/1.1 200 OK", 0},
        {"at half gain, mid-frame, HTTP/1.0 without length", ScriptedServer::stream(audioHead(-1, "HTTP/1.0"), tone.substr(101), 24000), 0.5f, 100, -1, 2.3, "Closed by server. HTTP/1.0 200 OK", 0},
        {"muted", closes, 0.0f, 100, static_cast<std::int64_t>(tagged.size()), 0, "Closed by server. HTTP/1.1 200 OK", 0},
        {"error page", ScriptedServer::json(page, 404), 1.0f, 100, static_cast<std::int64_t>(page.size()), 0, "Closed by server. HTTP/1.1 404 Status", 4},
        {"endless text instead of MP3", mp3Reply(std::string(8192, 'x'), 0, After::Repeat), 1.0f, 100, -1, 0, "The data format is not supported", 0},
        {"server stalls after some sound", mp3Reply(tone.substr(0, 16000), 0, After::Stall), 1.0f, 100, -1, 1.2, "Error code: 28", 0},
        // The name's look-up hangs for 10 s: the stop must not wait for it.
        {"stopped connecting", ScriptedServer::stream("", ""), 1.0f, 0, -1, 0, nullptr, 0, connecting, "http://" + std::string(slowresolver::kSlowHost) + ":1"},
        {"stopped buffering", mp3Reply(longTone, 2000), 1.0f, 0, -1, 0, nullptr, 0, buffering},
        {"stopped playing", mp3Reply(longTone, 8000), 1.0f, 100, -1, 0, nullptr, 0, playing},
        {"stopped after the end", mp3Reply(longTone.substr(0, 4000)), 1.0f, 100, -1, 0, nullptr, 0, ended},
        // A write to the sound file that fails reports that write's own error
        // (buffering only: no playback runs under the limit).
        {"a write cut short", mp3Reply(longTone), 1.0f, 10000000, -1, 0, "Cannot write the temporary sound file. File too large", 0, nullptr, "", 5000},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedServer server(r.plan);
        auto stream =
            streamFor((r.base.empty() ? server.base() : r.base) + "/m/0.mp3", r.bufferSize);
        stream->setVolume(r.gain);
        SinkRecorder recorder;
        ASSERT_TRUE(recorder.start());
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{std::min(r.fileSizeLimit, saved.rlim_cur), saved.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        stream->start();
        const bool reached =
            waitUntil([&] { return (r.stopAt ? r.stopAt : ended)(*stream); }, 60000);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ASSERT_TRUE(reached);
        spinFor(300);  // the last sound through the sound server
        QElapsedTimer held;
        if (r.stopAt) {
            recorder.stop();
            held.start();
            stream->stop();
            ASSERT_TRUE(recorder.start());
            spinFor(400);
        }
        const ToneStats sound = analyse(recorder.stop());
        stream->waitEnded();  // as at quit: never for the 10 s look-up either
        EXPECT_TRUE(!r.stopAt || held.elapsed() < 5000) << held.elapsed();
        if (r.soundSeconds > 0) {
            EXPECT_GE(sound.seconds, r.soundSeconds);
            EXPECT_NEAR(sound.frequency, 440, 12);
            EXPECT_NEAR(sound.rms, 0.34 * r.gain, 0.06 * r.gain);
        } else {
            EXPECT_LT(sound.peak, 0.004);
        }
        if (r.message) {
            EXPECT_TRUE(stream->statusMessage().startsWith(QString::fromUtf8(r.message)))
                << stream->statusMessage().toStdString();
            EXPECT_EQ(std::tuple(stream->contentLength(), stream->status(), stream->tags().title),
                      std::tuple(r.contentLength, r.finalStatus,
                                 r.plan.body == tagged ? "Yard" : std::optional<std::string>()));
        }
        // Ended, and no file left.
        EXPECT_EQ(
            std::tuple(stream->isActive(), stream->isPlaying(), stream->fileName(), leftovers()),
            std::tuple(false, false, std::string(), QStringList()));
    }
}

// Playback waits for the threshold beyond the whole ID3 tag, and the request
// carries exactly the headers it should. The second run starts right after
// the first one's stop, as the player front restarts a stream: it does not
// wait for the old output's settle and file removal, which finish in the
// background without touching the new run's file, address or state.
TEST(StreamSound, ThresholdTagRequestAndARestart) {
    NEED_SOUND_SERVER();
    const std::string tag = tagWithPicture();
    ScriptedServer server(mp3Reply(tag + toneMp3(12000), 8000));
    const std::string url = server.base() + "/m/0.mp3";
    // The old run's settle is long: "still settling" is no matter of timing.
    auto stream = streamFor(url, 3000, {.outputSettleMs = 5000, .bufferSizePreference = {}});
    QString oldFile;
    for (const QString user : {"admin", ""}) {
        if (!oldFile.isEmpty()) stream->stop();
        stream->setUrl(url);
        stream->setAuthUser(user);
        stream->setAuthPass("secret");
        stream->start();
        EXPECT_TRUE(oldFile.isEmpty() || QFileInfo::exists(oldFile)) << "the old run settles";
        std::int64_t atStart = -1;
        bool progress = false;  // shown while buffering
        ASSERT_TRUE(waitUntil(
            [&] {
                const float b = stream->bufferStatus();
                progress = progress || (b > 0 && b < 1);
                // Playing, and with its output started (so that it settles).
                if (stream->status() != QVRAudioStream::Playing || !stream->playbackThreadInUse())
                    return false;
                atStart = stream->bytesDownloaded();
                return true;
            },
            60000));
        // 3000 bytes beyond the tag, read in pieces of at most 1024 bytes.
        EXPECT_GE(atStart, static_cast<std::int64_t>(tag.size()) + 3000);
        EXPECT_LE(atStart, static_cast<std::int64_t>(tag.size()) + 3000 + 10240 + 8000);
        EXPECT_TRUE(progress);
        auto r = server.requests().back();
        EXPECT_EQ(std::tuple(stream->tags().image.value_or(std::vector<std::uint8_t>()).size(),
                             r.method + " " + r.target, r.headers["accept"],
                             r.headers.count("range"), r.headers["authorization"]),
                  std::tuple(3000u, "GET /m/0.mp3", "audio/mpeg", 0u,
                             user.isEmpty() ? "" : "Basic YWRtaW46c2VjcmV0"));
        if (oldFile.isEmpty()) oldFile = QString::fromStdString(stream->fileName());
    }
    // The new run's file is another: it stays while the old one goes.
    const QString newFile = QString::fromStdString(stream->fileName());
    ASSERT_TRUE(waitUntil([&] { return !QFileInfo::exists(oldFile); }, 60000));
    EXPECT_EQ(std::tuple(stream->isPlaying(), QFileInfo::exists(newFile), stream->url()),
              std::tuple(true, true, url));
    stream->stop();
    stream->waitEnded();
    EXPECT_EQ(leftovers(), QStringList());
}

TEST(PlayerFront, PathsThatCouldLeaveTheServerMakeNoRequestAndQuitEndsTheStream) {
    ScriptedServer server(mp3Reply(""));
    auto record = CamServer::create();
    record->setHost("127.0.0.1");
    record->setPort(QString::number(server.port()));
    EXPECT_EQ(PlayerView::streamAddress(record.get(), "/m/0.mp3"),
              server.base() + "/m/0.mp3?sample_rate=22050&bit_rate=64");
    PlayerView player;
    player.setCurrentServer(record);
    // Which paths are refused is the model's ServerUrl rule; here, that the
    // player asks nothing for one, the first time and the next.
    for (const char* path : {"//evil.example/x", ""}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(player.playSound(path));
        ASSERT_TRUE(waitUntil([&] { return !player.netStreamer()->isActive(); }));
        EXPECT_EQ(player.netStreamer()->status(), QVRAudioStream::Idle);
        EXPECT_EQ(player.statusText(), "This microphone has no usable sound address.");
        player.stopSound();
    }
    spinFor(200);
    EXPECT_TRUE(server.requests().empty());

    // At quit a running stream ends and the private sound folder goes.
    server.setScript([](const auto&) { return mp3Reply(toneMp3(2000), 0, After::Stall); });
    player.playSound("/m/0.mp3");
    ASSERT_TRUE(waitUntil([&] { return player.netStreamer()->bytesDownloaded() > 0; }));
    const std::string folder = AudioTempFolder::path();
    player.shutdown();
    EXPECT_FALSE(player.netStreamer()->isActive());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder)));
}

TEST(TempFile, NameStaysInsideThePrivateFolder) {
    const std::pair<const char*, const char*> rows[] = {
        {"http://h:1/m/audio?x=1", "audio.mp3"},
        {"http://h:1/m/live.mp3", "live.mp3"},
        {"http://h:1/audio/..%2F..%2Fx", "_.._x"},
        {"http://h:1/a/%2e%2e", "audio.mp3"},
        {"http://h:1/", "audio.mp3"},
        {"http://h:1/a/b%00c%0A", "b_c_.mp3"},
        {"http://h:1/.hidden", "hidden.mp3"},
    };
    for (const auto& [url, name] : rows) EXPECT_EQ(AudioTempFolder::fileNameFor(url), name) << url;

    const std::string folder = AudioTempFolder::path();
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_IFMT | 0777), S_IFDIR | 0700u);

    // A link planted at the name is neither followed nor replaced.
    char target[] = "/tmp/zorvan-target-XXXXXX";
    ::close(::mkstemp(target));
    const std::string planted = folder + "/audio.mp3";
    ASSERT_EQ(::symlink(target, planted.c_str()), 0);
    std::string path;
    const int fd = AudioTempFolder::createFile("http://h:1/m/audio", &path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).absolutePath().toStdString(), folder);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
    EXPECT_EQ(QFileInfo(target).size(), 0);
    for (const std::string& f : {path, planted, std::string(target)}) ::unlink(f.c_str());
}
