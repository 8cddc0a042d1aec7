// SPDX-License-Identifier: GPL-3.0-or-later
#include "democatalog.h"

#include "TXJsonValue.h"
#include "TXJsonWriter.h"

#include <algorithm>

namespace demo {

std::vector<DemoCamera> demoCameras(int count) {
    std::vector<DemoCamera> cameras = {
        {"Front door", Pattern::ColourBars, false},
        {"Parking lot", Pattern::Radar, true},
        {"Warehouse", Pattern::Grid, false},
        // A name outside ASCII, so the viewer's UTF-8 path is exercised.
        {"Garden café", Pattern::Stripes, false},
    };
    count = std::clamp(count, 1, kMaxCameraCount);
    cameras.resize(std::min<size_t>(cameras.size(), static_cast<size_t>(count)));
    static constexpr Pattern kPatterns[] = {Pattern::ColourBars, Pattern::Radar, Pattern::Grid,
                                            Pattern::Stripes};
    for (int i = static_cast<int>(cameras.size()); i < count; ++i)
        cameras.push_back({"Camera " + std::to_string(i + 1), kPatterns[i % 4], false, i - 3});
    return cameras;
}

const std::vector<DemoMicrophone>& demoMicrophones() {
    // The warehouse camera has no microphone on purpose.
    static const std::vector<DemoMicrophone> microphones = {
        {"Front door microphone", 0},
        {"Parking lot microphone", 1},
        {"Garden microphone", 3},
    };
    return microphones;
}

std::string cameraUri(int camera) {
    return "/cameras/" + std::to_string(camera);
}

std::string cameraImageUri(int camera) {
    return cameraUri(camera) + "/image";
}

std::string microphoneAudioUri(int microphone) {
    return "/microphones/" + std::to_string(microphone) + "/audio.mp3";
}

namespace {

tx::JsonValue ptzObject(const std::string& base) {
    const auto relative = [&](const std::string& what) {
        return tx::JsonValue(tx::JsonObject{{"relative-uri", base + "/" + what}});
    };
    return tx::JsonObject{
        {"focus", relative("focus")},
        {"menu", tx::JsonObject{{"activate-uri", base + "/menu/activate"},
                                {"hide-uri", base + "/menu/hide"},
                                {"move-uri", base + "/menu/move"},
                                {"show-uri", base + "/menu/show"}}},
        {"pan-tilt", relative("pan-tilt")},
        {"presets-uri", base + "/presets"},
        {"zoom", relative("zoom")},
    };
}

// Indented, for people who read the answers with curl.
std::string written(const tx::JsonValue& list) {
    tx::TXJsonWriter writer;
    writer.setHumanReadable(true);
    return writer.stringWithObject(list).value_or("[]");
}

}  // namespace

std::string camerasDocument(int cameraCount) {
    tx::JsonArray elements;
    const auto cameras = demoCameras(cameraCount);
    for (int i = 0; i < static_cast<int>(cameras.size()); ++i) {
        const std::string uri = cameraUri(i);
        tx::JsonObject camera = {
            {"name", cameras[i].name},
            {"uri", uri},
            {"image-uri", cameraImageUri(i)},
            {"video-uri", uri + "/video"},
        };
        if (cameras[i].ptz) camera.emplace("ptz", ptzObject(uri + "/ptz"));
        elements.push_back(std::move(camera));
    }
    return written(elements);
}

std::string microphonesDocument(int cameraCount) {
    tx::JsonArray elements;
    const auto& microphones = demoMicrophones();
    for (int i = 0; i < static_cast<int>(microphones.size()); ++i) {
        if (microphones[i].camera >= cameraCount) continue;
        elements.push_back(tx::JsonObject{
            {"name", microphones[i].name},
            {"uri", "/microphones/" + std::to_string(i)},
            {"audio-uri", microphoneAudioUri(i)},
            {"camera-uri", cameraUri(microphones[i].camera)},
        });
    }
    return written(elements);
}

}  // namespace demo
