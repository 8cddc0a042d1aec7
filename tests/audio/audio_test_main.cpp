// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "soundsink.h"

// The suite's main: an offscreen QApplication, and the sound server before
// anything touches the sound system (listing the tests needs none).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    char dir[] = "/tmp/zorvan-pulse-XXXXXX";
    const bool made = !testing::GTEST_FLAG(list_tests) && ::mkdtemp(dir);
    if (made) startSoundServer(dir);
    const int rc = RUN_ALL_TESTS();
    stopSoundServer();
    if (made && std::system(("rm -rf '" + std::string(dir) + "'").c_str()) != 0) return 1;
    return rc;
}
