#pragma once

// A private sound server for the audio tests: PulseAudio with one null sink
// ("test") in a temporary runtime folder, and a recorder of what reaches that
// sink, so that tests check the sound itself, not only flags.

#include <cstdint>
#include <string>
#include <vector>

class PrivatePulse {
public:
    // Starts the server and points this process (PULSE_SERVER) at it. False,
    // with why set, when it cannot start.
    bool start(std::string* why);
    // Stops the server by its PID and removes its folder.
    void stop();
    bool running() const { return pid_ > 0; }

    // The instance started by the test main, or null.
    static PrivatePulse*& instance();

private:
    int pid_ = -1;
    std::string dir_;
};

// Records the sink's monitor as 16-bit mono at 44100 Hz with parec.
class SinkRecorder {
public:
    static constexpr int kRate = 44100;
    ~SinkRecorder();
    bool start();
    // Samples recorded so far (as parec has written them).
    std::size_t samplesSoFar() const;
    // Ends the recording and returns the samples.
    std::vector<std::int16_t> stop();

private:
    int pid_ = -1;
    std::string file_;
};

struct ToneStats {
    double seconds = 0;    // of sound above the silence level
    double rms = 0;        // of that sound, 1.0 = full scale
    double frequency = 0;  // from its zero crossings
    double peak = 0;       // over the whole recording, 1.0 = full scale
};

// Looks at 20 ms blocks; those whose RMS is above silenceRms count as sound.
ToneStats analyse(const std::vector<std::int16_t>& samples, int rate = SinkRecorder::kRate,
                  double silenceRms = 0.01);
