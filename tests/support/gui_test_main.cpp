// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main for suites that need a Qt application object: an offscreen
// QApplication on the main thread, made before any test runs.

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    // What the viewer keeps for going back goes to a cache of the run's own.
    QTemporaryDir cache;
    if (cache.isValid()) qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
