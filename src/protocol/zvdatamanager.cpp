// SPDX-License-Identifier: GPL-3.0-or-later
#include "zvdatamanager.h"

#include "camserver.h"
#include "httpclient.h"
#include "mainthreadcall.h"
#include "operationqueue.h"
#include "picturedecoder.h"
#include "serverurl.h"
#include "utils.h"
#include "zvdatamanagerdelegate.h"

#include <QImage>
#include <QLoggingCategory>
#include <QStringDecoder>

#include "TXJSON.h"
#include "base64.h"

Q_LOGGING_CATEGORY(lcData, "zorvan.data")

namespace {

// The size a picture job asks for, from its resolution text "WxH"; an
// empty size (the full picture) for any other text.
QSize askedSize(const QString& resolution) {
    const qsizetype x = resolution.indexOf(QLatin1Char('x'));
    if (x < 0) return {};
    bool wideOk = false, highOk = false;
    const int width = resolution.left(x).toInt(&wideOk);
    const int height = resolution.mid(x + 1).toInt(&highOk);
    if (!wideOk || !highOk || width <= 0 || height <= 0) return {};
    return {width, height};
}

}  // namespace

ZVDataManager::ZVDataManager(std::shared_ptr<CamServer> server)
    : ZVDataManager(std::move(server), Role::ListsAndPictures) {}

ZVDataManager::ZVDataManager(std::shared_ptr<CamServer> server, Role role)
    : role_(role),
      abort_(std::make_shared<AbortToken>()),
      threads_(std::make_shared<WorkerThreads>()) {
    bind(server);
}

ZVDataManager::~ZVDataManager() {
    shutdown();
    // Server records outlive this manager (the settings store keeps them):
    // none may keep pointing at it.
    for (const auto& weak : boundServers_) {
        if (auto server = weak.lock()) server->releaseDataManager(this);
    }
}

void ZVDataManager::bind(const std::shared_ptr<CamServer>& server) {
    {
        std::lock_guard l(lock_);
        currentServer_ = server;
        if (!server || role_ == Role::ListsOnly) return;
        std::erase_if(boundServers_, [](const auto& w) { return w.expired(); });
        boundServers_.push_back(server);
    }
    server->setDataManager(this);
}

std::shared_ptr<CamServer> ZVDataManager::currentServer() const {
    std::lock_guard l(lock_);
    return currentServer_;
}

void ZVDataManager::setCurrentServer(std::shared_ptr<CamServer> server) {
    stopAllLoading();
    bind(server);
}

bool ZVDataManager::isCurrent(const CamServer* server) const {
    std::lock_guard l(lock_);
    return currentServer_.get() == server;
}

void ZVDataManager::stopAllLoading() {
    std::shared_ptr<OperationQueue> queue;
    {
        std::lock_guard l(lock_);
        queue.swap(loadQueue_);
    }
    // Not-started jobs are dropped; running ones go on, and nobody waits.
    if (queue) queue->cancelAll();
    loadHeld_.store(false);
}

bool ZVDataManager::holdForPassword() {
    const std::shared_ptr<CamServer> server = currentServer();
    if (!server || !server->passwordPending()) return false;
    // A request without the password would go with a wrong one: the load
    // leaves when the password is known, and no sooner.
    stopAllLoading();
    loadHeld_.store(true);
    return true;
}

void ZVDataManager::passwordsKnown() {
    if (loadHeld_.load()) loadCameras();
}

void ZVDataManager::setQueueSuspended(bool suspended) {
    std::shared_ptr<OperationQueue> queue;
    {
        std::lock_guard l(lock_);
        suspendNewQueues_ = suspended;
        queue = loadQueue_;
    }
    if (queue) queue->setSuspended(suspended);
}

void ZVDataManager::addAsyncOperation(std::function<void()> run, std::function<void()> cancelled) {
    std::shared_ptr<OperationQueue> queue;
    {
        std::lock_guard l(lock_);
        if (!shutDown_) {
            if (!loadQueue_) {
                loadQueue_ = std::make_shared<OperationQueue>(kMaxConcurrentJobs, threads_,
                                                              suspendNewQueues_);
            }
            queue = loadQueue_;
        }
    }
    if (!queue) {
        if (cancelled) cancelled();
        return;
    }
    queue->add({std::move(run), std::move(cancelled)});
}

void ZVDataManager::loadCameras() {
    if (holdForPassword()) return;
    stopAllLoading();
    std::shared_ptr<CamServer> server = currentServer();
    if (!server) return;
    addAsyncOperation(
        [this, server, target = Target::of(*server)] { _loadCameras(server, target); });
}

void ZVDataManager::loadCameraIndex(std::int64_t index, const QString& uri,
                                    const QString& resolution) {
    stopAllLoading();
    std::shared_ptr<CamServer> server = currentServer();
    if (!server) return;
    const auto index32 = static_cast<std::int32_t>(index);
    addAsyncOperation([this, server, target = Target::of(*server), index32, uri,
                       resolution] { _syncLoadImage(server, target, index32, uri, resolution); },
                      // A picture job that never runs must not leave its
                      // camera's gate closed, or the picture would freeze.
                      [server, index32] { server->pictureCancelled(index32); });
}

void ZVDataManager::shutdown() {
    {
        std::lock_guard l(lock_);
        if (shutDown_) return;
        shutDown_ = true;
    }
    stopAllLoading();
    abort_->abort();
    // A worker may be waiting for the main thread, which is about to block
    // in the join: release it, and refuse such waits until the join is over.
    MainThreadCall::RefuseWhileJoining refuse;
    threads_->joinAll();
}

// --- request builders ---

ZVDataManager::Target ZVDataManager::Target::of(const CamServer& server) {
    return {server.host(), server.port(), server.login(), server.password()};
}

std::optional<std::string> ZVDataManager::listUrl(const Target& target, const char* path) {
    return ServerUrl::make(target.host, target.port, QLatin1String(path));
}

std::optional<std::string> ZVDataManager::pictureUrl(const Target& target, const QString& uri,
                                                     const QString& resolution) {
    // The path is left as it is: it may itself hold "%5" (a percent-encoded
    // byte), which a substitution into the whole address would replace.
    return ServerUrl::make(
        target.host, target.port, uri,
        QStringLiteral("resolution=%1&quality=%2").arg(resolution).arg(kPictureQuality));
}

std::optional<std::string> ZVDataManager::pictureUrl(const CamServer& server, const QString& uri,
                                                     const QString& resolution) {
    return pictureUrl(Target::of(server), uri, resolution);
}

std::string ZVDataManager::authorizationHeader(const CamServer& server) {
    return authorizationHeader(Target::of(server));
}

std::string ZVDataManager::authorizationHeader(const Target& target) {
    // Credentials as UTF-8 bytes (RFC 7617), encoded as one line.
    const QByteArray credentials =
        QStringLiteral("%1:%2").arg(target.login, target.password).toUtf8();
    return "Authorization: Basic " +
           codec::base64EncodeLine(reinterpret_cast<const unsigned char*>(credentials.constData()),
                                   static_cast<size_t>(credentials.size()));
}

std::optional<QByteArray> ZVDataManager::_sendGetSynchronize(
    const Target& target, const std::optional<std::string>& url) {
    if (!url) {
        // A host or port that could send the credentials elsewhere: no
        // request, reported as a server that does not answer.
        qCInfo(lcData) << "No request: bad host or port" << target.host << target.port;
        return std::nullopt;
    }
    HttpClient::Get get;
    get.url = *url;
    get.headers = {authorizationHeader(target), "Accept: application/json",
                   "Content-Type: application/json"};
    get.timeoutMs = timeoutMs_;
    get.maxBytes = kMaxListBytes;
    HttpClient::Result r = HttpClient::get(get, abort_.get());
    if (!r.body) qCInfo(lcData) << "No answer from" << url->c_str() << r.error.c_str();
    return std::move(r.body);
}

std::optional<QByteArray> ZVDataManager::_sendGetSynchronizeEmptyType(
    const Target& target, const std::optional<std::string>& url) {
    if (!url) return std::nullopt;  // refused by the address check: no picture
    HttpClient::Get get;
    get.url = *url;
    // "Accept:" with no value drops libcurl's default one: the picture
    // request carries the credentials alone.
    get.headers = {authorizationHeader(target), "Accept:"};
    get.timeoutMs = timeoutMs_;
    get.maxBytes = kMaxPictureBytes;
    return HttpClient::get(get, abort_.get()).body;
}

// --- jobs ---

void ZVDataManager::_loadCameras(const std::shared_ptr<CamServer>& server, const Target& target) {
    if (loadList(server, target, false)) loadList(server, target, true);
}

bool ZVDataManager::loadList(const std::shared_ptr<CamServer>& server, const Target& target,
                             bool cameras) {
    const std::optional<QByteArray> body =
        _sendGetSynchronize(target, listUrl(target, cameras ? "/cameras" : "/microphones"));
    // A load for a server the user has left (or a quitting viewer) reports
    // nothing: its lists and alerts are about a server no longer shown.
    if (abort_->aborted() || !isCurrent(server.get())) return false;
    ZVDataManagerDelegate* d = delegate();
    if (!body) {
        if (d) d->serverNotConnected();
        return false;
    }
    // Stateless: a character cut short at the end of the answer is an error
    // rather than state kept for a next chunk that never comes.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(*body);
    std::optional<tx::JsonValue> value;
    if (!utf8.hasError()) {
        tx::TXJSON json;
        value = json.objectWithString(Utils::clearString(text).toStdString(), nullptr);
    }
    if (!value) {
        if (d) d->badResponse();
        return false;
    }
    if (d) {
        if (cameras) {
            d->camerasDidLoaded(*value);
        } else {
            d->mikrophonesDidLoaded(*value);
        }
    }
    return true;
}

void ZVDataManager::_syncLoadImage(const std::shared_ptr<CamServer>& server, const Target& target,
                                   std::int32_t index, const QString& uri,
                                   const QString& resolution) {
    const std::optional<QByteArray> bytes =
        _sendGetSynchronizeEmptyType(target, pictureUrl(target, uri, resolution));
    CameraPicture picture;
    if (bytes && !bytes->isEmpty()) {
        picture.image = PictureDecoder::decode(*bytes, askedSize(resolution));
        // The bytes travel with the picture (shared, not copied), so that it
        // can be saved as it was sent.
        if (!picture.image.isNull()) {
            picture.bytes = *bytes;
            picture.arrived = QDateTime::currentDateTimeUtc();
        }
    }
    // Handed on once this thread is idle, so that the next picture request,
    // which the hand-over may send at once, runs here again.
    WorkerThreads::whenIdle([server, index, picture] { server->updateCamera(index, picture); });
}
