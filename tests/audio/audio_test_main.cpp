// GoogleTest main of the audio suites: a private PulseAudio server with a
// null sink is started before anything touches the sound system, then an
// offscreen QApplication; the server is stopped at the end.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

#include "soundsink.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no sound server.
    const bool listing = testing::GTEST_FLAG(list_tests);
    PrivatePulse pulse;
    if (!listing) {
        std::string why;
        if (pulse.start(&why)) {
            PrivatePulse::instance() = &pulse;
        } else {
            std::fprintf(stderr, "audio tests: %s\n", why.c_str());
        }
    }
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    pulse.stop();
    return rc;
}
