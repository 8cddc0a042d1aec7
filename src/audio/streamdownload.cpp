// SPDX-License-Identifier: GPL-3.0-or-later
// The download side of a stream run: the HTTP transfer into the temporary
// file, the buffering rule that decides when playback starts, and the run's
// control and readers.

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSettings>
#include <QThread>

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <system_error>

#include "base64.h"
#include "curlmultiloop.h"
#include "outputqueue.h"
#include "qvraudiostream.h"
#include "soundtext.h"
#include "streamrun.h"
#include "tempfolder.h"

Q_DECLARE_LOGGING_CATEGORY(lcAudio)

namespace {

// The bytes handed over per read, as the stream's buffering rule counts them.
constexpr std::size_t kReadSize = 1024;

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

// State of one download, on the download thread's stack.
struct DownloadState {
    StreamRun* run = nullptr;
    int fd = -1;
    std::string path;
    std::int64_t total = 0;
    std::int64_t threshold = 0;
    std::int64_t readCounter = 0;
    bool playbackStarted = false;
    bool probeDone = false;
    bool connected = false;
    // errno of the write to the file that failed, taken at that write: any
    // later call may overwrite errno.
    int writeError = 0;
    bool notAudio = false;
    bool contentLengthSeen = false;
    std::int32_t headerContentLength = 0;
    std::string statusLine;
};

// Waits, before playback starts, until the file opens as audio with its
// whole ID3 tag; then the threshold counts audio beyond the tag.
void probe(DownloadState& d) {
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

void countRead(DownloadState& d, std::size_t n) {
    StreamRun& s = *d.run;
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

size_t onHeader(char* data, size_t size, size_t count, void* user) {
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
            StreamRun& s = *d.run;
            d.connected = true;
            s.contentLength_ = d.contentLengthSeen ? d.headerContentLength : -1;
            s.isPlaying_ = true;
            s.status_ = StreamRun::Downloading;
            s.downloadThreadInUse_ = true;
        }
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& d = *static_cast<DownloadState*>(user);
    const size_t n = size * count;
    for (size_t done = 0; done < n;) {
        const size_t piece = std::min(kReadSize, n - done);
        for (size_t written = 0; written < piece;) {
            const ssize_t w = ::write(d.fd, data + done + written, piece - written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                // A write of nothing is a full disk.
                d.writeError = w < 0 ? errno : ENOSPC;
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

// The request's header lines: Basic authorisation when there is a user name,
// and the kind of answer wanted.
curl_slist* requestHeaders(const QString& user, const QString& password) {
    curl_slist* headers = nullptr;
    if (!user.isEmpty()) {
        const QByteArray credentials = (user + u':' + password).toUtf8();
        const std::string line =
            "Authorization: Basic " +
            codec::base64EncodeLine(reinterpret_cast<const unsigned char*>(credentials.constData()),
                                    static_cast<std::size_t>(credentials.size()));
        headers = curl_slist_append(headers, line.c_str());
    }
    return curl_slist_append(headers, "Accept: audio/mpeg");
}

}  // namespace

StreamRun::StreamRun() = default;

StreamRun::StreamRun(Setup setup) : setup_(std::move(setup)) {}

StreamRun::~StreamRun() {
    // The stream object takes the playback thread before it lets a run go;
    // should the last reference still be the playback thread's own, the
    // thread object cannot be destroyed by its own thread: the main thread
    // deletes it once it has finished.
    if (playbackThread_ && QThread::currentThread() == playbackThread_.get()) {
        QThread* self = playbackThread_.release();
        QObject::connect(self, &QThread::finished, self, &QObject::deleteLater);
    }
}

void StreamRun::markStarted() {
    std::lock_guard l(lock_);
    downloadRunning_ = true;
}

void StreamRun::requestStop() {
    std::lock_guard l(lock_);
    stopRequested_ = true;
    stopStreaming_ = true;
    if (loop_) loop_->wakeup();
}

void StreamRun::waitSilent() {
    std::unique_lock l(lock_);
    // The playback thread silences its output within one pump interval; the
    // bound only guards against an output that hangs.
    changed_.wait_for(l, std::chrono::seconds(2), [this] { return !audible_; });
}

std::unique_ptr<QThread> StreamRun::takePlaybackThread() {
    std::lock_guard l(lock_);
    return std::move(playbackThread_);
}

QString StreamRun::statusMessage() const {
    std::lock_guard l(lock_);
    return statusMessage_;
}

void StreamRun::setStatusMessage(const QString& message) {
    std::lock_guard l(lock_);
    statusMessage_ = message;
}

bool StreamRun::downloadAlive() const {
    std::lock_guard l(lock_);
    return downloadRunning_;
}

bool StreamRun::isActive() const {
    std::lock_guard l(lock_);
    return downloadRunning_ || playbackRunning_;
}

std::string StreamRun::fileName() const {
    std::lock_guard l(lock_);
    return fileName_;
}

id3::TagInfo StreamRun::tags() const {
    std::lock_guard l(lock_);
    return tags_;
}

void StreamRun::_safeReleaseUrl() {
    if (!setup_.address) return;
    std::lock_guard l(setup_.address->lock);
    if (setup_.address->generation == setup_.urlGeneration) setup_.address->url.reset();
}

bool StreamRun::startPlaybackThread() {
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

void StreamRun::startDownloadingMP3() {
    DownloadState d;
    d.run = this;
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
    const std::optional<std::string>& url = setup_.url;
    if (!url) {
        setStatusMessage(soundText("This microphone has no usable sound address."));
        finish();
        return;
    }

    setStatusMessage(soundText("Connecting to stream."));
    bufferStatus_ = 0.0f;
    const std::int64_t preference = setup_.bufferSizePreference
                                        ? *setup_.bufferSizePreference
                                        : QSettings().value("BufferSize", 0).toLongLong();
    d.threshold = QVRAudioStream::thresholdForPreference(preference);
    setStatusMessage(soundText("Connecting to stream"));
    setStatusMessage(soundText("Buffering..."));

    d.fd = AudioTempFolder::createFile(*url, &d.path);
    if (d.fd < 0) {
        qCWarning(lcAudio) << "Cannot create the temporary sound file";
        setStatusMessage(soundText("Cannot create the temporary sound file."));
        status_ = Idle;
        finish();
        return;
    }
    {
        std::lock_guard l(lock_);
        fileName_ = d.path;
    }

    CurlMultiLoop loop;
    CURL* easy = curl_easy_init();
    curl_slist* headers = requestHeaders(setup_.user, setup_.password);
    const long stallSeconds = std::max(1L, (setup_.stallTimeoutMs + 999) / 1000);
    if (easy) {
        curl_easy_setopt(easy, CURLOPT_URL, url->c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kReadSize));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
        // A stream is endless, so there is no overall timeout; a server that
        // sends nothing for this long has failed.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &d);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &d);
    }
    {
        std::lock_guard l(lock_);
        loop_ = &loop;
    }
    // Woken at once by requestStop() and by the playback's end; leaves a
    // hanging name look-up behind.
    const CURLcode result =
        easy ? loop.perform(easy, [this] { return stopStreaming_.load(); }) : CURLE_FAILED_INIT;
    {
        std::lock_guard l(lock_);
        loop_ = nullptr;
    }

    if (result == CURLE_ABORTED_BY_CALLBACK && stopStreaming_) {
        // Asked to stop, by stop() or by the playback thread's end.
    } else if (result == CURLE_OK) {
        qCInfo(lcAudio) << "Closed by server." << d.statusLine.c_str();
        setStatusMessage(soundText("Closed by server.") + u' ' + QString::fromStdString(d.statusLine));
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
        setStatusMessage(soundText("The data format is not supported by this file type."));
        status_ = Idle;
        _safeReleaseUrl();
    } else if (d.writeError != 0) {
        const QString reason =
            QString::fromStdString(std::generic_category().message(d.writeError));
        qCWarning(lcAudio) << "Cannot write the temporary sound file:" << reason;
        setStatusMessage(soundText("Cannot write the temporary sound file.") + u' ' + reason);
        status_ = Idle;
        _safeReleaseUrl();
    } else if (!d.connected) {
        qCInfo(lcAudio) << "Error opening stream to http server." << curl_easy_strerror(result);
        setStatusMessage(soundText("Cannot communicate with the server."));
        status_ = Idle;
        _safeReleaseUrl();
    } else {
        const int code = static_cast<int>(result);
        qCInfo(lcAudio) << "Error Reading Bytes from Server" << QString("Error code: %1").arg(code)
                        << curl_easy_strerror(result);
        setStatusMessage(QStringLiteral("Error code: %1").arg(code));
        status_ = Idle;
        _safeReleaseUrl();
    }

    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    finish();
}
