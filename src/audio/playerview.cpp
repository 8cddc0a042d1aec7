// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerview.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>

#include "camserver.h"
#include "qvraudiostream.h"
#include "soundtext.h"
#include "serverurl.h"
#include "tempfolder.h"

PlayerView::PlayerView() {
    // Brings up the sound system's client on the main thread, so that the
    // playback threads only ever use it, never create it.
    QMediaDevices::defaultAudioOutput();
}

PlayerView::~PlayerView() {
    shutdown();
}

void PlayerView::setCurrentServer(std::shared_ptr<CamServer> server) {
    currentServer_ = std::move(server);
}

std::optional<std::string> PlayerView::streamAddress(const CamServer* server,
                                                     const QString& audioPath) {
    if (!server) return std::nullopt;
    return ServerUrl::make(
        server->host(), server->port(), audioPath,
        QStringLiteral("sample_rate=%1&bit_rate=%2").arg(kSampleRate).arg(kBitRate));
}

bool PlayerView::playSound(const QString& audioPath) {
    std::optional<std::string> url = streamAddress(currentServer_.get(), audioPath);
    if (!netStreamer_) {
        netStreamer_ = QVRAudioStream::initWithURL(std::move(url));
    } else {
        if (netStreamer_->isPaused()) netStreamer_->stop();
        netStreamer_->setUrl(std::move(url));
    }
    netStreamer_->setAuthUser(currentServer_ ? currentServer_->login() : QString());
    netStreamer_->setAuthPass(currentServer_ ? currentServer_->password() : QString());
    netStreamer_->start();
    return true;
}

void PlayerView::stopSound() {
    if (netStreamer_) netStreamer_->stop();
}

void PlayerView::setVolume(float value) {
    if (netStreamer_) netStreamer_->setVolume(value / 100.0f);
}

void PlayerView::shutdown() {
    if (netStreamer_) {
        netStreamer_->stop();
        netStreamer_->waitEnded();
    }
    AudioTempFolder::removeAll();
}

QString PlayerView::statusText() const {
    if (!netStreamer_) return QString();
    const QVRAudioStream& s = *netStreamer_;
    const int status = s.status();
    const QString message = s.statusMessage();
    if (status == QVRAudioStream::Playing) return soundText("Playing");
    if (status == QVRAudioStream::Paused) return soundText("Paused");
    if (status == QVRAudioStream::Downloading && s.bufferStatus() < 1.0f) {
        return soundText("Buffering...") + QStringLiteral(" %1 %").arg(qRound(s.bufferStatus() * 100));
    }
    // The progress figures are the buffering line's business; any other
    // message says how the stream stands or why it ended.
    bool isNumber = false;
    message.toFloat(&isNumber);
    if (!message.isEmpty() && !isNumber) return message;
    if (status == QVRAudioStream::Idle && !s.isPlaying()) return soundText("Sound stopped.");
    return soundText("Buffering...");
}
