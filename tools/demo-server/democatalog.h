// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The demo server's cameras and microphones, and the two list documents that
// describe them to the viewer. A camera's position in demoCameras() is its
// number in every path ("/cameras/2/image"), and the same holds for
// microphones. The first four cameras are always the same; more, for a
// camera wall, are numbered after them.

#include <string>
#include <vector>

namespace demo {

// The test pattern a camera draws, so that each camera is recognisable.
enum class Pattern { ColourBars, Radar, Grid, Stripes };

struct DemoCamera {
    std::string name;  // UTF-8
    Pattern pattern;
    bool ptz;  // listed with a "ptz" object (pan/tilt/zoom camera)
    // 0 for the first four; from the fifth on, a different colour badge
    // for each, so that cameras of one pattern still look different.
    int variant = 0;
};

inline constexpr int kDefaultCameraCount = 4;
inline constexpr int kMaxCameraCount = 64;

struct DemoMicrophone {
    std::string name;  // UTF-8
    int camera;        // position of the camera it belongs to
};

// The first count cameras (count clamped to 1..kMaxCameraCount).
std::vector<DemoCamera> demoCameras(int count = kDefaultCameraCount);
const std::vector<DemoMicrophone>& demoMicrophones();

// The answer to "/cameras": an array of camera objects.
std::string camerasDocument(int cameraCount = kDefaultCameraCount);
// The answer to "/microphones": an array of the microphones whose camera
// is among the first cameraCount.
std::string microphonesDocument(int cameraCount = kDefaultCameraCount);

// Paths used in the documents and served by the demo server.
std::string cameraUri(int camera);
std::string cameraImageUri(int camera);
std::string microphoneAudioUri(int microphone);

}  // namespace demo
