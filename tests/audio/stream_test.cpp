// The stream against real HTTP on 127.0.0.1, with the sound that reaches a
// private PulseAudio null sink checked for its frequency and level.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

#include "camserver.h"
#include "demoserver.h"
#include "playerview.h"
#include "qvraudiostream.h"
#include "scriptedserver.h"
#include "slowresolver.h"
#include "soundsink.h"
#include "soundstream.h"
#include "tempfolder.h"
#include "testutil.h"

namespace {

// A script that gives every request the same reply.
ScriptedServer::Script always(ScriptedServer::Reply reply) {
    return [reply = std::move(reply)](const ScriptedServer::Request&) { return reply; };
}

#define NEED_SOUND_SERVER()                                                        \
    if (!PrivatePulse::instance())                                                 \
    GTEST_SKIP() << "pulseaudio could not be started, so no sound can be checked " \
                    "(see the message at the start of the run)"

std::string toneMp3(int ms, double frequency = 440) {
    demo::SoundStream sound(22050, 64, frequency, "Tone");
    return sound.next(ms);
}

std::string tagWithPicture() {
    using demo::SoundStream;
    return SoundStream::id3v23(SoundStream::textFrame("TIT2", "Yard") +
                               SoundStream::pictureFrame("image/png", std::string(3000, 'P')));
}

std::shared_ptr<QVRAudioStream> streamFor(const std::string& url, std::int64_t bufferSize,
                                          const QVRAudioStream::Timing& timing = {}) {
    auto stream = QVRAudioStream::initWithURL(url, timing);
    stream->setBufferSizePreference(bufferSize);
    // The gain is process-wide: an earlier test may have left it at 0.
    stream->setVolume(1.0f);
    return stream;
}

// Files left in the private sound folder.
QStringList leftovers() {
    return QDir(QString::fromStdString(AudioTempFolder::path()))
        .entryList(QDir::Files | QDir::System | QDir::Hidden);
}

bool ended(const QVRAudioStream& s) {
    return !s.isActive();
}

}  // namespace

// The demo server's tone through the player front, at gains 1.0, 0.5 and 0.
TEST(StreamSound, DemoToneAtEachGain) {
    NEED_SOUND_SERVER();
    // Declared before the server: its workers log until it has stopped.
    std::mutex logLock;
    std::vector<std::string> logged;
    DemoServer::Options options;
    options.port = 0;
    options.password = "secret";
    DemoServer demoServer(options);
    demoServer.setLogHook([&](const DemoServer::RequestLog& e) {
        std::lock_guard l(logLock);
        logged.push_back(e.target);
    });
    ASSERT_TRUE(demoServer.start()) << demoServer.errorString();
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(demoServer.port()));
    server->setLogin("admin");
    server->setPassword("secret");

    PlayerView player;
    player.setCurrentServer(server);
    struct Row {
        float slider;
        double rmsLow, rmsHigh;
    };
    // The tone is made at half of full scale: RMS 0.354 before encoding.
    const Row rows[] = {{100, 0.28, 0.40}, {50, 0.14, 0.20}, {0, 0.0, 0.0}};
    std::vector<double> levels;
    for (const Row& r : rows) {
        // Recording from before the start: the recorder may take a moment
        // to connect on a loaded machine.
        SinkRecorder recorder;
        ASSERT_TRUE(recorder.start());
        player.playSound("/microphones/0/audio.mp3");
        player.setVolume(r.slider);
        auto stream = player.netStreamer();
        stream->setBufferSizePreference(16000);
        // The preference is read when the download starts; start again with it.
        stream->start();
        ASSERT_TRUE(waitUntil([&] { return stream->status() == QVRAudioStream::Playing; }, 60000))
            << stream->statusMessage().toStdString();
        spinFor(3000);
        const ToneStats tone = analyse(recorder.stop(), SinkRecorder::kRate, 0.004);
        player.stopSound();
        if (r.slider == 0) {
            EXPECT_LT(tone.peak, 0.004);
        } else {
            EXPECT_GT(tone.seconds, 1.5) << r.slider;
            EXPECT_NEAR(tone.frequency, 440, 12) << r.slider;
            EXPECT_GE(tone.rms, r.rmsLow) << r.slider;
            EXPECT_LE(tone.rms, r.rmsHigh) << r.slider;
            levels.push_back(tone.rms);
        }
        const id3::TagInfo tags = stream->tags();
        EXPECT_EQ(tags.title, "Front door microphone");
        ASSERT_TRUE(tags.image);
        EXPECT_EQ(std::string(tags.image->begin(), tags.image->begin() + 4), "\x89PNG");
    }
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_NEAR(levels[1] / levels[0], 0.5, 0.06);
    std::lock_guard l(logLock);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.front(), "/microphones/0/audio.mp3?sample_rate=22050&bit_rate=64");
    player.shutdown();
}

// How the stream ends for servers that end, fail or send something else.
TEST(StreamSound, Endings) {
    NEED_SOUND_SERVER();
    const std::string tone = toneMp3(3000);
    const std::string tagged = tagWithPicture() + tone;
    const std::string page = "<html><body>Not here</body></html>\n";
    using After = ScriptedServer::Reply::After;
    struct Row {
        const char* name;
        ScriptedServer::Reply plan;
        std::int64_t contentLength;
        double soundSeconds;  // at least this much tone reaches the sink
        const char* message;  // the status message begins with it
        int finalStatus;
    };
    const Row rows[] = {
        {"server closes mid-stream",
         ScriptedServer::stream(ScriptedServer::audioHead(static_cast<long long>(tagged.size())),
                                tagged, 24000),
         static_cast<std::int64_t>(tagged.size()), 2.3, "Closed by server. HTTP/1.1 200 OK", 0},
        {"begins mid-frame, no tag, HTTP/1.0 without length",
         ScriptedServer::stream(ScriptedServer::audioHead(-1, "HTTP/1.0"), tone.substr(101), 24000),
         -1, 2.3, "Closed by server. HTTP/1.0 200 OK", 0},
        {"error page",
         ScriptedServer::stream("HTTP/1.1 404 Not Found\r\nContent-Length: " +
                                    std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n",
                                page),
         static_cast<std::int64_t>(page.size()), 0, "Closed by server. HTTP/1.1 404 Not Found", 4},
        {"endless text instead of MP3",
         ScriptedServer::stream(ScriptedServer::audioHead(-1), std::string(8192, 'x'), 0,
                                After::Repeat),
         -1, 0, "The data format is not supported", 0},
        {"server stalls after some sound",
         ScriptedServer::stream(ScriptedServer::audioHead(-1), tone.substr(0, 16000), 0,
                                After::Stall),
         -1, 1.2, "Error code: 28", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedServer server(always(r.plan));
        auto stream = streamFor(server.base() + "/m/live", 100, {.stallTimeoutMs = 1000});
        SinkRecorder recorder;
        ASSERT_TRUE(recorder.start());
        stream->start();
        ASSERT_TRUE(waitUntil([&] { return ended(*stream); }, 60000));
        spinFor(300);  // the last sound through the sound server
        const ToneStats sound = analyse(recorder.stop());
        stream->waitEnded();
        EXPECT_EQ(stream->contentLength(), r.contentLength);
        EXPECT_TRUE(stream->statusMessage().startsWith(QString::fromUtf8(r.message)))
            << stream->statusMessage().toStdString();
        EXPECT_EQ(stream->status(), r.finalStatus);
        EXPECT_FALSE(stream->isPlaying());
        if (r.soundSeconds > 0) {
            EXPECT_GE(sound.seconds, r.soundSeconds);
            EXPECT_NEAR(sound.frequency, 440, 12);
        } else {
            EXPECT_LT(sound.peak, 0.004);
        }
        EXPECT_TRUE(stream->fileName().empty());
        EXPECT_EQ(leftovers(), QStringList());
    }
}

// Playback waits for the threshold beyond the whole ID3 tag, and the request
// carries exactly the headers it should.
TEST(StreamSound, ThresholdTagProbeAndRequest) {
    NEED_SOUND_SERVER();
    const std::string tag = tagWithPicture();
    const std::string body = tag + toneMp3(4000);
    struct Row {
        QString user;
        const char* authorization;  // expected header line, or null for none
    };
    const Row rows[] = {{"admin", "authorization: Basic YWRtaW46c2VjcmV0"}, {"", nullptr}};
    for (const Row& r : rows) {
        ScriptedServer server(
            always(ScriptedServer::stream(ScriptedServer::audioHead(-1), body, 8000)));
        auto stream = streamFor(server.base() + "/m/0.mp3", 3000);
        stream->setAuthUser(r.user);
        stream->setAuthPass("secret");
        stream->start();
        std::int64_t atStart = -1;
        std::vector<float> progress;
        ASSERT_TRUE(waitUntil(
            [&] {
                if (stream->status() == QVRAudioStream::Playing) {
                    atStart = stream->bytesDownloaded();
                    return true;
                }
                // 1.0 is set as playback is started, just before it plays.
                const float b = stream->bufferStatus();
                if (b > 0 && b < 1 && (progress.empty() || progress.back() != b))
                    progress.push_back(b);
                return false;
            },
            60000));
        // 3000 bytes beyond the tag, read in pieces of at most 1024 bytes.
        EXPECT_GE(atStart, static_cast<std::int64_t>(tag.size()) + 3000);
        EXPECT_LE(atStart, static_cast<std::int64_t>(tag.size()) + 3000 + 10240 + 8000);
        // Progress is shown while buffering (it steps back once the tag's
        // size joins the threshold).
        EXPECT_FALSE(progress.empty());
        stream->stop();
        stream->waitEnded();

        std::string request = server.requests().at(0).head;
        std::transform(request.begin(), request.end(), request.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(request.rfind("get /m/0.mp3 http/1.1\r\n", 0), 0u) << request;
        EXPECT_NE(request.find("accept: audio/mpeg\r\n"), std::string::npos) << request;
        EXPECT_EQ(request.find("range"), std::string::npos) << request;
        std::string expected = r.authorization ? r.authorization : "authorization:";
        std::transform(expected.begin(), expected.end(), expected.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(request.find(expected) != std::string::npos, r.authorization != nullptr)
            << request;
    }
}

// A stop in any phase ends both threads, silences the output at once and
// leaves no file; the main thread is held only briefly.
TEST(StreamSound, StopInEachPhase) {
    NEED_SOUND_SERVER();
    const std::string tone = toneMp3(20000);
    struct Row {
        const char* name;
        const char* host;  // null: the scripted server's address
        ScriptedServer::Reply plan;
        std::int64_t bufferSize;
        std::function<bool(const QVRAudioStream&)> reached;
    };
    const Row rows[] = {
        // The name's look-up hangs for 10 s: the stop must not wait for it.
        {"connecting", slowresolver::kSlowHost, ScriptedServer::stream("", ""), 0,
         [](const QVRAudioStream& s) { return s.isActive(); }},
        {"buffering", nullptr, ScriptedServer::stream(ScriptedServer::audioHead(-1), tone, 2000), 0,
         [](const QVRAudioStream& s) { return s.bytesDownloaded() > 1000; }},
        {"playing", nullptr, ScriptedServer::stream(ScriptedServer::audioHead(-1), tone, 8000), 100,
         [](const QVRAudioStream& s) { return s.status() == QVRAudioStream::Playing; }},
        {"ended", nullptr,
         ScriptedServer::stream(ScriptedServer::audioHead(-1), tone.substr(0, 4000)), 100,
         [](const QVRAudioStream& s) { return !s.isActive(); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedServer server(always(r.plan));
        const std::string base =
            r.host ? "http://" + std::string(r.host) + ":" + std::to_string(server.port())
                   : server.base();
        auto stream = streamFor(base + "/m/0.mp3", r.bufferSize);
        stream->start();
        ASSERT_TRUE(waitUntil([&] { return r.reached(*stream); }, 60000));
        spinFor(300);
        QElapsedTimer held;
        held.start();
        stream->stop();
        // Generous: a bound for a loaded machine, not a speed target (the
        // benchmark measures it).
        EXPECT_LT(held.elapsed(), 1000);
        SinkRecorder recorder;
        ASSERT_TRUE(recorder.start());
        spinFor(400);
        EXPECT_LT(analyse(recorder.stop()).peak, 0.004);
        stream->waitEnded();
        EXPECT_FALSE(stream->isActive());
        EXPECT_FALSE(stream->isPlaying());
        EXPECT_EQ(leftovers(), QStringList());
    }
}

// A start right after a stop does not wait for the old output's settle and
// file removal: they finish in the background, without touching the new
// stream's file, address or state, and the new stream plays.
TEST(StreamSound, RestartDoesNotWaitForTheOldTeardown) {
    NEED_SOUND_SERVER();
    const std::string tone = toneMp3(30000);
    ScriptedServer server(
        always(ScriptedServer::stream(ScriptedServer::audioHead(-1), tone, 16000)));
    const std::string url = server.base() + "/m/0.mp3";
    // Long enough that "still settling" cannot be a matter of timing.
    auto stream = streamFor(url, 100, {.outputSettleMs = 5000});
    stream->start();
    // Once the output runs, a stop leaves it to settle.
    ASSERT_TRUE(waitUntil([&] { return stream->playbackThreadInUse(); }, 60000));
    const std::string oldFile = stream->fileName();
    ASSERT_FALSE(oldFile.empty());
    // As the player front restarts a stream.
    stream->stop();
    stream->setUrl(url);
    stream->start();
    // The old run is still in its settle: its file is there.
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(oldFile)));
    SinkRecorder recorder;
    ASSERT_TRUE(recorder.start());
    ASSERT_TRUE(waitUntil([&] { return stream->status() == QVRAudioStream::Playing; }, 60000))
        << stream->statusMessage().toStdString();
    const std::string newFile = stream->fileName();
    EXPECT_NE(newFile, oldFile);
    // The old run's end, whenever it comes, leaves the new one alone.
    ASSERT_TRUE(
        waitUntil([&] { return !QFileInfo::exists(QString::fromStdString(oldFile)); }, 60000));
    spinFor(1500);
    const ToneStats sound = analyse(recorder.stop());
    EXPECT_GE(sound.seconds, 1.0);
    EXPECT_NEAR(sound.frequency, 440, 12);
    EXPECT_EQ(stream->status(), QVRAudioStream::Playing);
    EXPECT_TRUE(stream->isPlaying());
    EXPECT_EQ(stream->fileName(), newFile);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(newFile)));
    EXPECT_EQ(stream->url(), url);
    EXPECT_EQ(server.requests().size(), 2u);
    stream->stop();
    stream->waitEnded();
    EXPECT_FALSE(stream->isActive());
    EXPECT_EQ(leftovers(), QStringList());
}

// Quit, like a stop, never waits for a name look-up that hangs.
TEST(PlayerFront, QuitDoesNotWaitForANameLookUp) {
    auto record = CamServer::create();
    record->setHost(slowresolver::kSlowHost);
    record->setPort("18080");
    PlayerView player;
    player.setCurrentServer(record);
    player.playSound("/m/0.mp3");
    spinFor(300);
    ASSERT_TRUE(player.netStreamer()->isActive());
    QElapsedTimer held;
    held.start();
    player.shutdown();
    // Generous: the look-up takes 10 s.
    EXPECT_LT(held.elapsed(), 1000);
    EXPECT_FALSE(player.netStreamer()->isActive());
}

// A write to the temporary file that fails reports that write's own error.
TEST(StreamFile, AFailedWriteReportsItsOwnError) {
    const std::string tone = toneMp3(20000);
    struct Row {
        const char* name;
        rlim_t fileSizeLimit;
        int error;  // the write's errno
    };
    const Row rows[] = {
        {"no byte may be written", 0, EFBIG},
        {"the limit falls inside a write", 5000, EFBIG},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedServer server(
            always(ScriptedServer::stream(ScriptedServer::audioHead(-1), tone, 0)));
        // Buffering only: the limit is the process's, so no playback runs.
        auto stream = streamFor(server.base() + "/m/0.mp3", 10000000);
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = r.fileSizeLimit;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        stream->start();
        const bool ended = waitUntil([&] { return !stream->isActive(); }, 60000);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        ASSERT_TRUE(ended);
        stream->waitEnded();
        EXPECT_EQ(
            stream->statusMessage().toStdString(),
            "Cannot write the temporary sound file. " + std::generic_category().message(r.error));
        EXPECT_EQ(stream->status(), QVRAudioStream::Idle);
        EXPECT_EQ(leftovers(), QStringList());
    }
}

TEST(PlayerFront, PathsThatCouldLeaveTheServerMakeNoRequest) {
    ScriptedServer server(always(ScriptedServer::stream(ScriptedServer::audioHead(-1), "")));
    auto record = CamServer::create();
    record->setHost("127.0.0.1");
    record->setPort(QString::number(server.port()));
    record->setLogin("admin");
    record->setPassword("secret");
    EXPECT_EQ(PlayerView::streamAddress(record.get(), "/m/0.mp3"),
              "http://127.0.0.1:" + std::to_string(server.port()) +
                  "/m/0.mp3?sample_rate=22050&bit_rate=64");
    PlayerView player;
    player.setCurrentServer(record);
    for (const char* path : {"m/0.mp3", "//evil.example/x", "/a@evil.example/x", "/a\\b", "/a b",
                             "", "@evil.example/x"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(PlayerView::streamAddress(record.get(), path));
        EXPECT_TRUE(player.playSound(path));
        ASSERT_TRUE(waitUntil([&] { return !player.netStreamer()->isActive(); }));
        EXPECT_EQ(player.netStreamer()->status(), QVRAudioStream::Idle);
        EXPECT_FALSE(player.statusText().isEmpty());
        player.stopSound();
    }
    spinFor(200);
    EXPECT_TRUE(server.requests().empty());
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
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A link planted at the name is neither followed nor replaced.
    char target[] = "/tmp/zorvan-target-XXXXXX";
    const int targetFd = ::mkstemp(target);
    ::close(targetFd);
    const std::string planted = folder + "/audio.mp3";
    ASSERT_EQ(::symlink(target, planted.c_str()), 0);
    std::string path;
    const int fd = AudioTempFolder::createFile("http://h:1/m/audio", &path);
    ASSERT_GE(fd, 0);
    EXPECT_NE(path, planted);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).absolutePath().toStdString(), folder);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
    EXPECT_EQ(QFileInfo(target).size(), 0);
    ::unlink(path.c_str());
    ::unlink(planted.c_str());
    ::unlink(target);
}

// The demo server stops promptly while a listener is connected to its endless
// sound, and the listener sees the stream end.
TEST(DemoSound, StopsWhileSomeoneListens) {
    DemoServer::Options options;
    options.port = 0;
    DemoServer demoServer(options);
    ASSERT_TRUE(demoServer.start()) << demoServer.errorString();
    auto stream = streamFor("http://127.0.0.1:" + std::to_string(demoServer.port()) +
                                "/microphones/1/audio.mp3?sample_rate=16000&bit_rate=32",
                            0);
    stream->setAuthUser("admin");
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return stream->bytesDownloaded() > 2000; }));
    QElapsedTimer t;
    t.start();
    demoServer.stop();
    EXPECT_LT(t.elapsed(), 5000);
    ASSERT_TRUE(waitUntil([&] { return !stream->isActive(); }));
    stream->waitEnded();
    EXPECT_EQ(stream->contentLength(), -1);
    EXPECT_EQ(leftovers(), QStringList());
}
