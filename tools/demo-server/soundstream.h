// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A microphone's sound for the demo server: a steady sine tone, encoded live
// as MP3 with LAME, preceded by an ID3v2.3 tag with a title and a small
// picture. One object per listener; not thread-safe.

#include <cstdint>
#include <memory>
#include <string>

namespace demo {

class SoundStream {
public:
    // sampleRate and bitRate (kbit/s) as asked; unusable values fall back to
    // 22050 Hz and 64 kbit/s. frequency: the tone, in Hz.
    SoundStream(int sampleRate, int bitRate, double frequency, std::string title);
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    bool valid() const { return lame_ != nullptr; }
    int sampleRate() const { return sampleRate_; }

    // The ID3v2.3 tag that begins the stream: "TIT2" with the title, "APIC"
    // with a PNG picture.
    std::string tag() const;
    // The next milliseconds of the tone as MP3 bytes (possibly empty: the
    // encoder holds back a few frames).
    std::string next(int milliseconds);

    // The tag's frames, for tests: an ID3v2.3 tag with the given frames.
    static std::string id3v23(const std::string& frames);
    static std::string textFrame(const char* id, const std::string& utf8);
    static std::string pictureFrame(const std::string& mime, const std::string& data);

private:
    void* lame_ = nullptr;  // lame_global_flags*
    int sampleRate_ = 22050;
    double frequency_;
    double phase_ = 0;
    std::string title_;
};

// Rates that MPEG audio layer III knows.
bool isMp3SampleRate(int rate);

}  // namespace demo
