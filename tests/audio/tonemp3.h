#pragma once

#include <string>

#include "soundstream.h"

// ms milliseconds of the demo server's 440 Hz tone, as MP3.
inline std::string toneMp3(int ms) {
    return demo::SoundStream(22050, 64, 440, "Tone").next(ms);
}
