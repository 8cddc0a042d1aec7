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
    : abort_(std::make_shared<AbortToken>()), threads_(std::make_shared<WorkerThreads>()) {
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
        if (!server) return;
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
    stopAllLoading();
    std::shared_ptr<CamServer> server = currentServer();
    if (!server) return;
    addAsyncOperation([this, server] { _loadCameras(server); });
}

void ZVDataManager::loadCameraIndex(std::int64_t index, const QString& uri,
                                    const QString& resolution) {
    stopAllLoading();
    std::shared_ptr<CamServer> server = currentServer();
    if (!server) return;
    const auto index32 = static_cast<std::int32_t>(index);
    addAsyncOperation([this, server, index32, uri,
                       resolution] { _syncLoadImage(server, index32, uri, resolution); },
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

std::optional<std::string> ZVDataManager::listUrl(const CamServer& server, const char* path) {
    return ServerUrl::make(server.host(), server.port(), QLatin1String(path));
}

std::optional<std::string> ZVDataManager::pictureUrl(const CamServer& server, const QString& uri,
                                                     const QString& resolution) {
    // The path is left as it is: it may itself hold "%5" (a percent-encoded
    // byte), which a substitution into the whole address would replace.
    return ServerUrl::make(
        server.host(), server.port(), uri,
        QStringLiteral("resolution=%1&quality=%2").arg(resolution).arg(kPictureQuality));
}

std::string ZVDataManager::authorizationHeader(const CamServer& server) {
    // Credentials as UTF-8 bytes (RFC 7617), encoded as one line.
    const QByteArray credentials =
        QStringLiteral("%1:%2").arg(server.login(), server.password()).toUtf8();
    return "Authorization: Basic " +
           codec::base64EncodeLine(reinterpret_cast<const unsigned char*>(credentials.constData()),
                                   static_cast<size_t>(credentials.size()));
}

std::optional<QByteArray> ZVDataManager::_sendGetSynchronize(
    const CamServer& server, const std::optional<std::string>& url) {
    if (!url) {
        // A host or port that could send the credentials elsewhere: no
        // request, reported as a server that does not answer.
        qCInfo(lcData) << "No request: bad host or port" << server.host() << server.port();
        return std::nullopt;
    }
    HttpClient::Get get;
    get.url = *url;
    get.headers = {authorizationHeader(server), "Accept: application/json",
                   "Content-Type: application/json"};
    get.timeoutMs = timeoutMs_;
    get.maxBytes = kMaxListBytes;
    HttpClient::Result r = HttpClient::get(get, abort_.get());
    if (!r.body) qCInfo(lcData) << "No answer from" << url->c_str() << r.error.c_str();
    return std::move(r.body);
}

std::optional<QByteArray> ZVDataManager::_sendGetSynchronizeEmptyType(
    const CamServer& server, const std::optional<std::string>& url) {
    if (!url) return std::nullopt;  // refused by the address check: no picture
    HttpClient::Get get;
    get.url = *url;
    // "Accept:" with no value drops libcurl's default one: the picture
    // request carries the credentials alone.
    get.headers = {authorizationHeader(server), "Accept:"};
    get.timeoutMs = timeoutMs_;
    get.maxBytes = kMaxPictureBytes;
    return HttpClient::get(get, abort_.get()).body;
}

// --- jobs ---

void ZVDataManager::_loadCameras(const std::shared_ptr<CamServer>& server) {
    if (loadList(server, false)) loadList(server, true);
}

bool ZVDataManager::loadList(const std::shared_ptr<CamServer>& server, bool cameras) {
    const std::optional<QByteArray> body =
        _sendGetSynchronize(*server, listUrl(*server, cameras ? "/cameras" : "/microphones"));
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

void ZVDataManager::_syncLoadImage(const std::shared_ptr<CamServer>& server, std::int32_t index,
                                   const QString& uri, const QString& resolution) {
    const std::optional<QByteArray> bytes =
        _sendGetSynchronizeEmptyType(*server, pictureUrl(*server, uri, resolution));
    QImage image;
    if (bytes && !bytes->isEmpty()) image = PictureDecoder::decode(*bytes, askedSize(resolution));
    // Handed on once this thread is idle, so that the next picture request,
    // which the hand-over may send at once, runs here again.
    WorkerThreads::whenIdle([server, index, image] { server->updateCamera(index, image); });
}
