// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallfetcher.h"

#include "cappedbody.h"
#include "picturebudget.h"

#include "camserver.h"
#include "curlmultiloop.h"
#include "mainthreadcall.h"
#include "picturedecoder.h"
#include "zvdatamanager.h"

#include <QLoggingCategory>

#include <curl/curl.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include <pthread.h>
#include <thread>
#include <vector>

Q_LOGGING_CATEGORY(lcWall, "zorvan.wall")

namespace {

// One camera's transfer: its easy handle lives while the camera is on the
// page, and its answer is gathered here.
struct Transfer {
    explicit Transfer(PictureBudget& budget) {
        body.budget = &budget;
        budget.addCell();
    }
    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
        body.reset();
        body.budget->removeCell();
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    std::int64_t index = 0;
    std::uint64_t id = 0;  // the request now running on it
    QSize asked;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    CappedBody body;
    bool active = false;  // added to the multi handle
};

size_t writeCellBody(char* data, size_t size, size_t count, void* user) {
    return static_cast<Transfer*>(user)->body.append(data, size * count) ? size * count : 0;
}

size_t readCellHeader(char* data, size_t size, size_t count, void* user) {
    return static_cast<Transfer*>(user)->body.header(data, size * count) ? size * count : 0;
}

}  // namespace

// The threads: one drives the multi handle, a few decode. They share the
// command queue (main thread to curl thread), the decode queue (curl thread
// to decoders) and the map of wanted requests (so that work for a request
// that was cancelled meanwhile is skipped).
struct WallFetcher::Engine {
    struct Command {
        bool cancel = false;
        std::int64_t index = 0;
        std::uint64_t id = 0;
        std::string url;
        std::vector<std::string> headers;
        QSize asked;
    };
    struct DecodeJob {
        std::int64_t index;
        std::uint64_t id;
        QSize asked;
        std::optional<QByteArray> body;
        std::shared_ptr<const void> hold = {};  // the body's share of the budget
    };
    using Deliver = std::function<void(std::int64_t, std::uint64_t, const CameraPicture&)>;

    // The loop's multi handle keeps libcurl's defaults, which suit a page
    // of cameras: no cap on connections to one host or in all, nothing
    // pipelined on HTTP/1.1, and a pool of idle connections that grows with
    // the transfers. So every camera's request runs on a connection of its
    // own, and none waits behind another's.
    Engine(const Options& options, Deliver deliver)
        : options_(options),
          budget_(options.budget ? *options.budget : PictureBudget::shared()),
          deliver_(std::move(deliver)) {
        if (loop_.valid()) {
            curlThread_ = std::thread([this] { runCurl(); });
            nameThread(curlThread_, "zv-wall-curl");
        }
        for (int i = 0; i < std::max(1, options_.decodeThreads); ++i) {
            decoders_.emplace_back([this] { runDecoder(); });
            nameThread(decoders_.back(), "zv-wall-decode");
        }
    }

    ~Engine() {
        {
            std::lock_guard l(lock_);
            stopping_ = true;
        }
        loop_.wakeup();
        commandWake_.notify_all();
        decodeWake_.notify_all();
        if (curlThread_.joinable()) curlThread_.join();
        for (std::thread& t : decoders_) t.join();
    }

    void push(Command command) {
        {
            std::lock_guard l(lock_);
            if (command.cancel) {
                wanted_.erase(command.index);
            } else {
                wanted_[command.index] = command.id;
            }
            commands_.push_back(std::move(command));
        }
        commandWake_.notify_one();
        loop_.wakeup();
    }

    bool wanted(std::int64_t index, std::uint64_t id) {
        std::lock_guard l(lock_);
        const auto it = wanted_.find(index);
        return it != wanted_.end() && it->second == id;
    }

    bool ok() const { return loop_.valid(); }

private:
    // Named for profilers and the benchmark's per-thread figures.
    static void nameThread(std::thread& t, const char* name) {
        pthread_setname_np(t.native_handle(), name);
    }

    void runCurl() {
        const auto commandOrStop = [this] {
            std::lock_guard l(lock_);
            return stopping_ || !commands_.empty();
        };
        const auto done = [this](CURL* easy, CURLcode code) {
            Transfer* t = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, &t);
            if (t) finish(*t, code);
        };
        for (;;) {
            std::deque<Command> commands;
            {
                std::unique_lock l(lock_);
                // Nothing to drive: sleep until a command comes.
                if (loop_.transfers() == 0)
                    commandWake_.wait(l, [this] { return stopping_ || !commands_.empty(); });
                if (stopping_) break;
                commands.swap(commands_);
            }
            // Every camera of the page counts towards each answer's cap from
            // its first request on, not only those asked before it.
            for (const Command& c : commands)
                if (!c.cancel) transferFor(c.index);
            for (Command& c : commands) apply(c);
            // Runs until a command comes (wakeup() makes it look), every
            // transfer has finished, or libcurl fails.
            if (loop_.run(commandOrStop, done) == CurlMultiLoop::Outcome::Failed) {
                for (auto& [index, t] : transfers_)
                    if (t->active) finish(*t, CURLE_FAILED_INIT);
            }
        }
        // Quick exit is set on every handle, so a name look-up still running
        // is left behind rather than waited for.
        for (auto& [index, t] : transfers_) loop_.remove(t->easy);
        transfers_.clear();
    }

    // A connection kept per camera on the page. Under libcurl's default
    // (it follows the transfers running at the time, and the cameras'
    // requests seldom overlap) a page of 16 cameras at 25 pictures a second
    // made about 16 new connections a second; with this, one or two.
    void keepConnections() { loop_.setMaxConnections(static_cast<long>(transfers_.size())); }

    Transfer* transferFor(std::int64_t index) {
        auto& slot = transfers_[index];
        if (slot) return slot.get();
        auto t = std::make_unique<Transfer>(budget_);
        t->index = index;
        t->easy = curl_easy_init();
        if (!t->easy) {
            transfers_.erase(index);
            return nullptr;
        }
        CURL* e = t->easy;
        curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, options_.requestTimeoutMs);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, writeCellBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, readCellHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
        // The request leaves in one piece, never held back for an acknowledgement.
        curl_easy_setopt(e, CURLOPT_TCP_NODELAY, 1L);
        slot = std::move(t);
        keepConnections();
        return slot.get();
    }

    void apply(Command& c) {
        if (c.cancel) {
            // The camera left the page: its handle goes; its connection
            // stays in the multi handle's pool for the next camera.
            if (auto it = transfers_.find(c.index); it != transfers_.end()) {
                loop_.remove(it->second->easy);
                transfers_.erase(it);
                keepConnections();
            }
            return;
        }
        Transfer* t = transferFor(c.index);
        if (!t) {
            queueDecode({c.index, c.id, c.asked, std::nullopt});
            return;
        }
        loop_.remove(t->easy);
        curl_slist_free_all(t->headers);
        t->headers = nullptr;
        for (const std::string& h : c.headers)
            t->headers = curl_slist_append(t->headers, h.c_str());
        curl_easy_setopt(t->easy, CURLOPT_URL, c.url.c_str());
        curl_easy_setopt(t->easy, CURLOPT_HTTPHEADER, t->headers);
        t->id = c.id;
        t->asked = c.asked;
        t->body.reset();
        // The cap follows the cells of every wall at the time of asking.
        t->body.maxBytes = std::min(options_.maxPictureBytes, budget_.answerCap());
        // The loop adds the options every transfer of the viewer carries:
        // no signals, plain HTTP only, no redirection, quick exit.
        t->active = loop_.add(t->easy);
        if (!t->active) queueDecode({c.index, c.id, c.asked, std::nullopt});
    }

    void finish(Transfer& t, CURLcode code) {
        loop_.remove(t.easy);
        t.active = false;
        std::optional<QByteArray> body;
        std::shared_ptr<const void> hold;
        if (code == CURLE_OK && !t.body.overflow) {
            hold = t.body.keep();
            body = std::move(t.body.bytes);
        } else {
            qCDebug(lcWall) << "No picture for camera" << t.index
                            << (t.body.overflow ? "answer too large" : curl_easy_strerror(code));
        }
        t.body.reset();
        queueDecode({t.index, t.id, t.asked, std::move(body), std::move(hold)});
    }

    void queueDecode(DecodeJob job) {
        {
            std::lock_guard l(lock_);
            decodeJobs_.push_back(std::move(job));
        }
        decodeWake_.notify_one();
    }

    void runDecoder() {
        for (;;) {
            DecodeJob job;
            {
                std::unique_lock l(lock_);
                decodeWake_.wait(l, [this] { return stopping_ || !decodeJobs_.empty(); });
                if (stopping_) return;
                job = std::move(decodeJobs_.front());
                decodeJobs_.pop_front();
                // A camera that left the page meanwhile: no decode.
                const auto it = wanted_.find(job.index);
                if (it == wanted_.end() || it->second != job.id) continue;
            }
            CameraPicture picture;
            if (job.body && !job.body->isEmpty()) {
                picture.image = PictureDecoder::decode(*job.body, job.asked);
                // The answer's own bytes go along (shared, not copied), so
                // that the cell's picture can be saved as it was sent.
                if (!picture.image.isNull()) {
                    picture.bytes = *job.body;
                    picture.hold = std::move(job.hold);
                    picture.arrived = QDateTime::currentDateTimeUtc();
                }
            }
            deliver_(job.index, job.id, picture);
        }
    }

    const Options options_;
    PictureBudget& budget_;
    const Deliver deliver_;
    // Driven by the curl thread alone; other threads only wake it.
    CurlMultiLoop loop_;

    std::mutex lock_;  // guards the four fields below
    std::deque<Command> commands_;
    std::unordered_map<std::int64_t, std::uint64_t> wanted_;  // camera index -> request id
    std::deque<DecodeJob> decodeJobs_;
    bool stopping_ = false;
    std::condition_variable commandWake_;  // the curl thread, idle
    std::condition_variable decodeWake_;

    std::unordered_map<std::int64_t, std::unique_ptr<Transfer>> transfers_;  // curl thread
    std::thread curlThread_;
    std::vector<std::thread> decoders_;
};

WallFetcher::WallFetcher(std::shared_ptr<CamServer> server)
    : WallFetcher(std::move(server), Options()) {}

WallFetcher::WallFetcher(std::shared_ptr<CamServer> server, Options options)
    : server_(std::move(server)), self_(std::make_shared<WallFetcher*>(this)) {
    std::weak_ptr<WallFetcher*> weak = self_;
    engine_ = std::make_unique<Engine>(
        options, [weak](std::int64_t index, std::uint64_t id, const CameraPicture& picture) {
            // Posted without waiting: the decoder goes straight on with the
            // next picture. A fetcher gone by then drops the answer.
            MainThreadCall::post([weak, index, id, picture] {
                if (auto self = weak.lock()) (*self)->deliver(index, id, picture);
            });
        });
}

WallFetcher::~WallFetcher() {
    self_.reset();  // answers already posted find no fetcher
    engine_.reset();
    pending_.clear();
}

void WallFetcher::requestPicture(std::int64_t index, const QString& imageUri, QSize pixelSize,
                                 std::function<void(const CameraPicture&)> done) {
    const std::uint64_t id = nextId_++;
    pending_[index] = {id, std::move(done)};
    const QString resolution = QStringLiteral("%1x%2")
                                   .arg(std::max(0, pixelSize.width()))
                                   .arg(std::max(0, pixelSize.height()));
    std::optional<std::string> url =
        server_ ? ZVDataManager::pictureUrl(*server_, imageUri, resolution) : std::nullopt;
    if (!url || !engine_->ok()) {
        // Refused by the address check (or no libcurl): a failed picture,
        // delivered later on the main thread as any other answer.
        std::weak_ptr<WallFetcher*> weak = self_;
        MainThreadCall::post([weak, index, id] {
            if (auto self = weak.lock()) (*self)->deliver(index, id, QImage());
        });
        return;
    }
    Engine::Command command;
    command.index = index;
    command.id = id;
    command.url = std::move(*url);
    // "Accept:" with no value drops libcurl's default one: the picture
    // request carries the credentials alone.
    command.headers = {ZVDataManager::authorizationHeader(*server_), "Accept:"};
    command.asked = pixelSize;
    engine_->push(std::move(command));
}

void WallFetcher::cancel(std::int64_t index) {
    if (pending_.erase(index) == 0) return;
    Engine::Command command;
    command.cancel = true;
    command.index = index;
    engine_->push(std::move(command));
}

void WallFetcher::deliver(std::int64_t index, std::uint64_t id, const CameraPicture& picture) {
    const auto it = pending_.find(index);
    if (it == pending_.end() || it->second.id != id) return;  // cancelled or replaced
    auto done = std::move(it->second.done);
    pending_.erase(it);
    done(picture);
}
