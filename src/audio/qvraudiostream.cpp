#include "qvraudiostream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "base64.h"
#include "outputqueue.h"
#include "tempfolder.h"

Q_LOGGING_CATEGORY(lcAudio, "zorvan.audio")

namespace {

std::atomic<float> gGain{1.0f};
// Raised by every setVolume, so a playback thread sees that it must apply
// the gain again.
std::atomic<unsigned> gGainGeneration{0};

// How often the playback thread moves sound into the output and looks at
// its flags: small enough that a stop silences the output at once.
constexpr int kPumpIntervalMs = 20;
// After a stop the output is given this long to settle before it is
// destroyed; destroying an output that has just been active can crash inside
// the sound server's client library.
constexpr int kOutputSettleMs = 250;
// The bytes handed over per read, as the stream's buffering rule counts them.
constexpr std::size_t kReadSize = 1024;

QString text(const char* key) {
    return QCoreApplication::translate("Zorvan", key);
}

std::int32_t saturatingInt32(std::string_view digits) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc::result_out_of_range) {
        return digits.starts_with('-') ? INT32_MIN : INT32_MAX;
    }
    if (error != std::errc()) return 0;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

// State of one download, on the download thread's stack.
struct DownloadState {
    QVRAudioStream* stream = nullptr;
    int fd = -1;
    std::string path;
    std::int64_t total = 0;
    std::int64_t threshold = 0;
    std::int64_t readCounter = 0;
    bool playbackStarted = false;
    bool probeDone = false;
    bool connected = false;
    bool writeFailed = false;
    bool notAudio = false;
    bool contentLengthSeen = false;
    std::int32_t headerContentLength = 0;
    std::string statusLine;
};

// Friend-free access to the stream's private steps from the C callbacks.
struct QVRAudioStreamAccess {
    static size_t onHeader(char* data, size_t size, size_t count, void* user);
    static size_t onBody(char* data, size_t size, size_t count, void* user);
    static void countRead(DownloadState& d, std::size_t n);
    static void probe(DownloadState& d);
};

std::shared_ptr<QVRAudioStream> QVRAudioStream::initWithURL(std::optional<std::string> url) {
    std::shared_ptr<QVRAudioStream> stream(new QVRAudioStream());
    stream->url_ = std::move(url);
    return stream;
}

QVRAudioStream::~QVRAudioStream() {
    // The last reference may be a thread's own, dropped as it ends.
    if (downloadThread_.joinable()) {
        if (downloadThread_.get_id() == std::this_thread::get_id()) {
            downloadThread_.detach();
        } else {
            downloadThread_.join();
        }
    }
    if (playbackThread_) {
        if (QThread::currentThread() == playbackThread_.get()) {
            // A thread object cannot be destroyed by its own thread: the
            // main thread, which owns it, deletes it once it has finished.
            QThread* self = playbackThread_.release();
            QObject::connect(self, &QThread::finished, self, &QObject::deleteLater);
        } else {
            playbackThread_->wait();
        }
    }
}

void QVRAudioStream::setUrl(std::optional<std::string> url) {
    std::lock_guard l(lock_);
    url_ = std::move(url);
    ++urlGeneration_;
}

std::optional<std::string> QVRAudioStream::url() const {
    std::lock_guard l(lock_);
    return url_;
}

void QVRAudioStream::setAuthUser(const QString& user) {
    std::lock_guard l(lock_);
    authUser_ = user;
}

void QVRAudioStream::setAuthPass(const QString& password) {
    std::lock_guard l(lock_);
    authPass_ = password;
}

QString QVRAudioStream::statusMessage() const {
    std::lock_guard l(lock_);
    return statusMessage_;
}

void QVRAudioStream::setStatusMessage(const QString& message) {
    std::lock_guard l(lock_);
    statusMessage_ = message;
}

bool QVRAudioStream::isActive() const {
    std::lock_guard l(lock_);
    return downloadRunning_ || playbackRunning_;
}

std::string QVRAudioStream::fileName() const {
    std::lock_guard l(lock_);
    return fileName_;
}

id3::TagInfo QVRAudioStream::tags() const {
    std::lock_guard l(lock_);
    return tags_;
}

void QVRAudioStream::setBufferSizePreference(std::optional<std::int64_t> value) {
    std::lock_guard l(lock_);
    bufferSizeOverride_ = value;
}

std::int32_t QVRAudioStream::thresholdForPreference(std::int64_t bufferSize) {
    switch (bufferSize) {
        case 0:
            return 50000;
        case 1:
            return 200000;
        case 2:
            return 300000;
        default:
            return static_cast<std::int32_t>(bufferSize);
    }
}

void QVRAudioStream::_safeReleaseUrl(std::uint64_t generation) {
    std::lock_guard l(lock_);
    if (generation == urlGeneration_) url_.reset();
}

bool QVRAudioStream::downloadAlive() const {
    std::lock_guard l(lock_);
    return downloadRunning_;
}

void QVRAudioStream::wakeDownload() {
    std::lock_guard l(lock_);
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

// --- control, on the controlling thread ---

void QVRAudioStream::start() {
    // A stream object never runs two downloads: whatever an earlier start
    // left running ends first.
    if (downloadThread_.joinable() || playbackThread_) {
        stop();
        waitEnded();
    }
    // The sound system's device list is the main thread's business.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    {
        std::lock_guard l(lock_);
        outputDevice_ = device;
        tags_ = {};
        downloadRunning_ = true;
        stopRequested_ = false;
    }
    bytesDownloaded_ = 0;
    bytesPlayed_ = 0;
    contentLength_ = 0;
    mIsRunning = false;
    isPaused_ = false;
    pauseToggled_ = false;
    stopStreaming_ = false;
    auto self = shared_from_this();
    downloadThread_ = std::thread([self]() mutable {
        const auto keep = std::move(self);
        keep->startDownloadingMP3();
    });
}

void QVRAudioStream::stop() {
    {
        std::lock_guard l(lock_);
        stopRequested_ = true;
        stopStreaming_ = true;
        if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
    }
    // The download thread is the only one that starts a playback thread, so
    // once it has ended, any playback there is has seen the stop request.
    if (downloadThread_.joinable()) downloadThread_.join();
    {
        std::unique_lock l(lock_);
        // The playback thread silences its output within one pump interval;
        // the bound only guards against an output that hangs.
        changed_.wait_for(l, std::chrono::seconds(2), [this] { return !audible_; });
        statusMessage_.clear();
    }
    isPlaying_ = false;
    isPaused_ = false;
    bufferStatus_ = 0.0f;
}

void QVRAudioStream::waitEnded() {
    if (downloadThread_.joinable()) downloadThread_.join();
    // No download thread runs now, so playbackThread_ is no longer written.
    if (playbackThread_) {
        playbackThread_->wait();
        playbackThread_.reset();
    }
}

void QVRAudioStream::pause() {
    if (!mIsRunning) return;
    const bool pausing = !isPaused_;
    isPaused_ = pausing;
    status_ = pausing ? Paused : Playing;
    pauseToggled_ = true;
}

void QVRAudioStream::setVolume(float value) {
    gGain = std::clamp(value, 0.0f, 1.0f);
    ++gGainGeneration;
}

float QVRAudioStream::gain() {
    return gGain.load();
}

// --- download thread ---

void QVRAudioStreamAccess::countRead(DownloadState& d, std::size_t n) {
    QVRAudioStream& s = *d.stream;
    d.total += static_cast<std::int64_t>(n);
    ++d.readCounter;
    if (d.total < d.threshold) {
        if (d.readCounter * 1024 > d.threshold / 10) {
            const float fraction = static_cast<float>(d.total) / static_cast<float>(d.threshold);
            s.setStatusMessage(QString::asprintf("%0.2f", fraction));
            s.bufferStatus_ = fraction;
            d.readCounter = 0;
        }
    } else if (!d.playbackStarted) {
        if (!d.probeDone) probe(d);
        if (d.probeDone && !d.notAudio && d.total >= d.threshold && s.startPlaybackThread()) {
            d.playbackStarted = true;
            s.setStatusMessage(QString());
            s.bufferStatus_ = 1.0f;
        }
    }
    s.bytesDownloaded_ += static_cast<std::int64_t>(n);
}

// Waits, before playback starts, until the file opens as audio with its
// whole ID3 tag; then the threshold counts audio beyond the tag.
void QVRAudioStreamAccess::probe(DownloadState& d) {
    Mp3File::Error error = Mp3File::Error::None;
    const std::unique_ptr<Mp3File> file = Mp3File::open(d.path, &error);
    if (file) {
        // Done, whatever the tag's size: a stream without a tag (a listener
        // joining a live stream gets none) must play too.
        d.probeDone = true;
        d.threshold += static_cast<std::int64_t>(file->tagSize());
    } else if (error == Mp3File::Error::NotAudio) {
        d.notAudio = true;
    } else {
        d.threshold += 10240;
    }
}

size_t QVRAudioStreamAccess::onHeader(char* data, size_t size, size_t count, void* user) {
    auto& d = *static_cast<DownloadState*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        d.statusLine = std::string(line);
        d.contentLengthSeen = false;
    } else if (startsWithNoCase(line, "content-length:")) {
        std::string_view value = line.substr(15);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        d.headerContentLength = saturatingInt32(value);
        d.contentLengthSeen = true;
    } else if (line.empty()) {
        // The end of a header block; an interim (1xx) answer is not the one.
        const std::size_t space = d.statusLine.find(' ');
        const bool interim = space != std::string::npos && d.statusLine.size() > space + 1 &&
                             d.statusLine[space + 1] == '1';
        if (!interim && !d.connected) {
            QVRAudioStream& s = *d.stream;
            d.connected = true;
            s.contentLength_ = d.contentLengthSeen ? d.headerContentLength : -1;
            s.isPlaying_ = true;
            s.status_ = QVRAudioStream::Downloading;
            s.downloadThreadInUse_ = true;
        }
    }
    return n;
}

size_t QVRAudioStreamAccess::onBody(char* data, size_t size, size_t count, void* user) {
    auto& d = *static_cast<DownloadState*>(user);
    const size_t n = size * count;
    for (size_t done = 0; done < n;) {
        const size_t piece = std::min(kReadSize, n - done);
        for (size_t written = 0; written < piece;) {
            const ssize_t w = ::write(d.fd, data + done + written, piece - written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                d.writeFailed = true;
                return 0;  // ends the transfer
            }
            written += static_cast<size_t>(w);
        }
        done += piece;
        countRead(d, piece);
        if (d.notAudio) return 0;
    }
    return n;
}

bool QVRAudioStream::startPlaybackThread() {
    std::lock_guard l(lock_);
    if (stopRequested_) return false;
    auto self = shared_from_this();
    playbackRunning_ = true;
    // A QThread, since the output needs Qt's timers, which only run on
    // threads that Qt started.
    playbackThread_.reset(QThread::create([self]() mutable {
        const auto keep = std::move(self);
        keep->startInternalMP3();
    }));
    // Owned by the controlling thread, which waits for and deletes it.
    playbackThread_->moveToThread(QCoreApplication::instance()->thread());
    playbackThread_->start();
    return true;
}

void QVRAudioStream::startDownloadingMP3() {
    std::optional<std::string> url;
    QString user, password;
    std::optional<std::int64_t> preference;
    {
        std::lock_guard l(lock_);
        url = url_;
        runUrlGeneration_ = urlGeneration_;
        user = authUser_;
        password = authPass_;
        preference = bufferSizeOverride_;
    }
    DownloadState d;
    d.stream = this;
    const std::uint64_t urlGeneration = [this] {
        std::lock_guard l(lock_);
        return runUrlGeneration_;
    }();
    auto finish = [&] {
        if (d.fd >= 0) ::close(d.fd);
        if (!d.playbackStarted) isPlaying_ = false;
        // Without a playback thread nobody else will delete the file.
        if (!d.playbackStarted && !d.path.empty()) {
            ::unlink(d.path.c_str());
            std::lock_guard l(lock_);
            fileName_.clear();
        }
        stopStreaming_ = false;
        downloadThreadInUse_ = false;
        std::lock_guard l(lock_);
        downloadRunning_ = false;
        changed_.notify_all();
    };
    if (!url) {
        setStatusMessage(text("This microphone has no usable sound address."));
        finish();
        return;
    }

    setStatusMessage(text("Connecting to stream."));
    bufferStatus_ = 0.0f;
    if (!preference) preference = QSettings().value("BufferSize", 0).toLongLong();
    d.threshold = thresholdForPreference(*preference);
    setStatusMessage(text("Connecting to stream"));
    setStatusMessage(text("Buffering..."));

    d.fd = AudioTempFolder::createFile(*url, &d.path);
    if (d.fd < 0) {
        qCWarning(lcAudio) << "Cannot create the temporary sound file";
        setStatusMessage(text("Cannot create the temporary sound file."));
        status_ = Idle;
        finish();
        return;
    }
    {
        std::lock_guard l(lock_);
        fileName_ = d.path;
    }

    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    curl_slist* headers = nullptr;
    if (!user.isEmpty()) {
        const QByteArray credentials = (user + u':' + password).toUtf8();
        const std::string line =
            "Authorization: Basic " +
            codec::base64EncodeLine(reinterpret_cast<const unsigned char*>(credentials.constData()),
                                    static_cast<std::size_t>(credentials.size()));
        headers = curl_slist_append(headers, line.c_str());
    }
    headers = curl_slist_append(headers, "Accept: audio/mpeg");
    const long stallSeconds = std::max(1L, (stallTimeoutMs_.load() + 999) / 1000);
    if (easy) {
        curl_easy_setopt(easy, CURLOPT_URL, url->c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        // Plain HTTP only, and a server may not send us (and the
        // credentials) elsewhere.
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kReadSize));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
        // A stream is endless, so there is no overall timeout; a server that
        // sends nothing for this long has failed.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &QVRAudioStreamAccess::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &d);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &QVRAudioStreamAccess::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &d);
    }

    bool done = false;
    CURLcode result = CURLE_FAILED_INIT;
    if (easy && multi && curl_multi_add_handle(multi, easy) == CURLM_OK) {
        {
            std::lock_guard l(lock_);
            multi_ = multi;
        }
        while (!stopStreaming_) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) break;
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE) {
                    result = msg->data.result;
                    done = true;
                }
            }
            if (done || running == 0) break;
            // Wakes on data, on libcurl's timers, or on a stop.
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        {
            std::lock_guard l(lock_);
            multi_ = nullptr;
        }
        curl_multi_remove_handle(multi, easy);
    }

    const bool stopped = !done && stopStreaming_;
    if (stopped) {
        // Asked to stop, by stop() or by the playback thread's end.
    } else if (done && result == CURLE_OK) {
        qCInfo(lcAudio) << "Closed by server." << d.statusLine.c_str();
        setStatusMessage(text("Closed by server.") + u' ' + QString::fromStdString(d.statusLine));
        status_ = ClosedByServer;
        stopStreaming_ = true;
        // A body shorter than the threshold still plays when it is audio.
        if (!d.playbackStarted && !d.notAudio) {
            Mp3File::Error error;
            if (Mp3File::open(d.path, &error, true) && startPlaybackThread()) {
                d.playbackStarted = true;
                bufferStatus_ = 1.0f;
            }
        }
    } else if (d.notAudio) {
        qCInfo(lcAudio) << "The stream is not MP3";
        setStatusMessage(text("The data format is not supported by this file type."));
        status_ = Idle;
        _safeReleaseUrl(urlGeneration);
    } else if (!d.connected) {
        qCInfo(lcAudio) << "Error opening stream to http server." << curl_easy_strerror(result);
        setStatusMessage(text("Cannot communicate with the server."));
        status_ = Idle;
        _safeReleaseUrl(urlGeneration);
    } else {
        const int code = d.writeFailed ? errno : static_cast<int>(result);
        qCInfo(lcAudio) << "Error Reading Bytes from Server" << QString("Error code: %1").arg(code)
                        << curl_easy_strerror(result);
        setStatusMessage(QStringLiteral("Error code: %1").arg(code));
        status_ = Idle;
        _safeReleaseUrl(urlGeneration);
    }

    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    finish();
}

// --- playback thread ---

void QVRAudioStream::DeriveBufferSize(const Mp3File::StreamFormat& format,
                                      std::uint32_t maxPacketSize, double seconds,
                                      std::uint32_t* outBufferSize,
                                      std::uint32_t* outNumPacketsToRead) {
    constexpr std::uint32_t maxBufferSize = 0x50000;
    constexpr std::uint32_t minBufferSize = 0x4000;
    std::uint32_t size;
    if (format.framesPerPacket != 0) {
        const double packetsForTime = format.sampleRate / format.framesPerPacket * seconds;
        const double bytes = packetsForTime * maxPacketSize;
        size = bytes >= 4294967295.0 ? 0xFFFFFFFFu
               : bytes > 0           ? static_cast<std::uint32_t>(bytes)
                                     : 0;
    } else {
        size = std::max(maxBufferSize, maxPacketSize);
    }
    if (size > maxBufferSize && size > maxPacketSize) {
        size = maxBufferSize;
    } else if (size < minBufferSize) {
        size = minBufferSize;
    }
    *outBufferSize = size;
    // A file cannot report 0, but a packet size of 0 must not divide.
    *outNumPacketsToRead = maxPacketSize ? size / maxPacketSize : 0;
}

void QVRAudioStream::HandleMP3OutputBuffer(OutputBuffer* buffer) {
    if (!mIsRunning) return;
    const std::uint32_t packets = mAudioFile->readPacketData(
        mCurrentPacket, bufferByteSize, mNumPacketsToRead, buffer->data, &buffer->packets);
    bytesPlayed_ += static_cast<std::int64_t>(buffer->data.size());
    if (packets > 0) {
        mQueue->enqueue(buffer);
        mCurrentPacket += packets;
    } else if (downloadAlive()) {
        // Caught up with a file that is still growing: try again soon. A
        // stream whose data stops for good ends through its download.
        waitingBuffers_.push_back(buffer);
    } else {
        // Caught up with the whole file: play what is queued, then end.
        mQueue->stopAfterQueued();
        mIsRunning = false;
    }
}

void QVRAudioStream::startInternalMP3() {
    const std::string path = fileName();
    const std::uint64_t urlGeneration = [this] {
        std::lock_guard l(lock_);
        return runUrlGeneration_;
    }();
    auto endPlayback = [&] {
        isPlaying_ = false;
        mIsRunning = false;
        stopStreaming_ = true;
        status_ = Idle;
        wakeDownload();
        std::unique_lock l(lock_);
        audible_ = false;
        changed_.notify_all();
        changed_.wait(l, [this] { return !downloadRunning_; });
        // The download has ended, so the file is complete and nobody writes
        // to it: it goes at every end of a stream.
        if (!path.empty()) ::unlink(path.c_str());
        fileName_.clear();
        if (urlGeneration == urlGeneration_) url_.reset();
        playbackThreadInUse_ = false;
        playbackRunning_ = false;
        changed_.notify_all();
    };

    Mp3File::Error error = Mp3File::Error::None;
    mAudioFile = Mp3File::open(path, &error, status_ == ClosedByServer);
    if (!mAudioFile) {
        switch (error) {
            case Mp3File::Error::NotAudio:
                setStatusMessage(text("The data format is not supported by this file type."));
                break;
            case Mp3File::Error::NotYetAudio:
                setStatusMessage(
                    text("The file is malformed, or otherwise not a valid instance of "
                         "an audio file of its type."));
                break;
            default:
                setStatusMessage(QStringLiteral("Error code: %1").arg(errno));
                break;
        }
        endPlayback();
        return;
    }

    mIsRunning = true;
    waitingBuffers_.clear();
    {
        const std::vector<std::uint8_t>& tag = mAudioFile->id3Tag();
        id3::TagInfo info = id3::readTag(tag.data(), tag.size());
        std::lock_guard l(lock_);
        tags_ = std::move(info);
    }
    mDataFormat = mAudioFile->format();
    QAudioDevice device;
    {
        std::lock_guard l(lock_);
        device = outputDevice_;
    }
    mQueue = std::make_unique<OutputQueue>(
        device, mDataFormat, [this](OutputBuffer* buffer) { HandleMP3OutputBuffer(buffer); });
    DeriveBufferSize(mDataFormat, mAudioFile->maximumPacketSize(), 0.5, &bufferByteSize,
                     &mNumPacketsToRead);
    dataOffset = mAudioFile->dataOffset();
    mCurrentPacket = 0;
    mIsRunning = true;
    status_ = Playing;

    OutputBuffer buffers[3];
    for (OutputBuffer& buffer : buffers) {
        buffer.data.reserve(bufferByteSize);
        HandleMP3OutputBuffer(&buffer);
    }
    unsigned gainGeneration = gGainGeneration.load();
    mQueue->setVolume(gGain.load());

    bool started = false;
    {
        std::lock_guard l(lock_);
        // A stop that came while this thread set up must still end it.
        if (!stopRequested_) {
            started = mQueue->start();
            audible_ = started;
        }
    }
    if (!started && !stopRequested_) {
        qCWarning(lcAudio) << "No sound output";
        setStatusMessage(text("No sound output is available."));
    }
    playbackThreadInUse_ = true;

    if (started) {
        QEventLoop loop;
        QTimer pump;
        QElapsedTimer drainClock;
        pump.setInterval(kPumpIntervalMs);
        QObject::connect(&pump, &QTimer::timeout, [&] {
            if (stopRequested_) {
                loop.quit();
                return;
            }
            const unsigned generation = gGainGeneration.load();
            if (generation != gainGeneration) {
                gainGeneration = generation;
                mQueue->setVolume(gGain.load());
            }
            if (pauseToggled_.exchange(false)) {
                if (isPaused_) {
                    mQueue->pause();
                } else {
                    mQueue->resume();
                }
            }
            if (!waitingBuffers_.empty()) {
                const std::vector<OutputBuffer*> waiting = std::move(waitingBuffers_);
                waitingBuffers_.clear();
                for (OutputBuffer* buffer : waiting) HandleMP3OutputBuffer(buffer);
            }
            mQueue->pump();
            if (mQueue->failed()) {
                setStatusMessage(text("The sound output failed."));
                loop.quit();
                return;
            }
            if (!mIsRunning) {
                // Draining what is queued; bounded, in case the output
                // stops reporting progress.
                if (!drainClock.isValid()) drainClock.start();
                if (mQueue->finished() || drainClock.elapsed() > 10000) {
                    if (statusMessage().isEmpty())
                        setStatusMessage(text("The sound stream has ended."));
                    loop.quit();
                }
            }
        });
        pump.start();
        loop.exec();
        pump.stop();

        mQueue->stopNow();
        {
            std::lock_guard l(lock_);
            audible_ = false;
            changed_.notify_all();
        }
        QTimer::singleShot(kOutputSettleMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    waitingBuffers_.clear();
    mQueue.reset();
    mAudioFile.reset();
    endPlayback();
}
