#pragma once

// The demo server's fixed set of cameras and microphones, and the two list
// documents that describe them to the viewer. A camera's position in
// demoCameras() is its number in every path ("/cameras/2/image"), and the
// same holds for microphones.

#include <string>
#include <vector>

namespace demo {

// The test pattern a camera draws, so that each camera is recognisable.
enum class Pattern { ColourBars, Radar, Grid, Stripes };

struct DemoCamera {
    std::string name;  // UTF-8
    Pattern pattern;
    bool ptz;  // listed with a "ptz" object (pan/tilt/zoom camera)
};

struct DemoMicrophone {
    std::string name;  // UTF-8
    int camera;        // position of the camera it belongs to
};

const std::vector<DemoCamera>& demoCameras();
const std::vector<DemoMicrophone>& demoMicrophones();

// The answer to "/cameras": an array of camera objects.
std::string camerasDocument();
// The answer to "/microphones": an array of microphone objects.
std::string microphonesDocument();

// Paths used in the documents and served by the demo server.
std::string cameraUri(int camera);
std::string cameraImageUri(int camera);
std::string microphoneAudioUri(int microphone);

}  // namespace demo
