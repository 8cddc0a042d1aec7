// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>

class CamServer;
class QVRAudioStream;

// The one object through which the viewer plays a microphone: it turns a
// microphone's sound path into the stream's address on the current server,
// keeps a single stream object (made at the first play, reused after) and
// starts, stops and sets the volume of it. Main thread only.
class PlayerView {
public:
    static constexpr int kSampleRate = 22050;
    static constexpr int kBitRate = 64;

    PlayerView();
    ~PlayerView();  // shutdown()
    PlayerView(const PlayerView&) = delete;
    PlayerView& operator=(const PlayerView&) = delete;

    // The server whose host, port and credentials the next playSound uses.
    void setCurrentServer(std::shared_ptr<CamServer> server);
    const std::shared_ptr<CamServer>& currentServer() const { return currentServer_; }
    // Starts the stream at audioPath on the current server. A path that could
    // lead the request (and the credentials) to another host gives the stream
    // no address: it then makes no request. Always true.
    bool playSound(const QString& audioPath);
    // Stops the stream; returns as soon as it is silent and its download has
    // ended (the rest of its teardown goes on in the background).
    void stopSound();
    // value: 0 to 100, the slider's range.
    void setVolume(float value);
    void change_Volume(float senderValue) { setVolume(senderValue); }
    // Stops the stream, waits for its threads and removes the temporary
    // folder: for the end of the process, before the event loop ends.
    void shutdown();

    // The address playSound would use for audioPath on server, or none.
    static std::optional<std::string> streamAddress(const CamServer* server,
                                                    const QString& audioPath);
    // One line for the user about the stream: connecting, buffering with its
    // progress, playing, or why it ended. Empty before the first play.
    QString statusText() const;

    std::shared_ptr<QVRAudioStream> netStreamer() const { return netStreamer_; }

private:
    std::shared_ptr<QVRAudioStream> netStreamer_;
    std::shared_ptr<CamServer> currentServer_;
};
