// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The audio suite's sound: its main starts a private PulseAudio server with
// one null sink ("test") in a temporary runtime folder before anything
// touches the sound system, and a recorder takes what reaches that sink, so
// that tests check the sound itself, not only flags. And the tone they play.

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "soundstream.h"

// Starts the private sound server in the folder dir and points this process
// (PULSE_SERVER) at it; false, said on the error output, when it does not
// come up. The suite's main and the sound benchmark call these.
bool startSoundServer(const QString& dir);
void stopSoundServer();
// False when the private sound server could not start.
bool soundServerRunning();

#define NEED_SOUND_SERVER() \
    if (!soundServerRunning()) GTEST_SKIP() << "pulseaudio could not be started"

// Records the sink's monitor as 16-bit mono at 44100 Hz with parec.
class SinkRecorder {
public:
    static constexpr int kRate = 44100;
    ~SinkRecorder() { stop(); }
    bool start();
    // Samples recorded so far, as parec has written them.
    std::size_t samplesSoFar() const;
    // Ends the recording and returns the samples.
    std::vector<std::int16_t> stop();

private:
    int pid_ = -1;
    std::string file_;
};

// seconds: of sound above the silence level; rms: of that sound, 1.0 =
// full scale; frequency: from its zero crossings; peak: over the whole
// recording, 1.0 = full scale.
struct ToneStats {
    double seconds = 0, rms = 0, frequency = 0, peak = 0;
};

// Looks at 20 ms blocks; those whose RMS is above 0.01 count as sound.
ToneStats analyse(const std::vector<std::int16_t>& samples);

// ms milliseconds of the demo server's 440 Hz tone, as MP3.
inline std::string toneMp3(int ms) {
    return demo::SoundStream(22050, 64, 440, "Tone").next(ms);
}
