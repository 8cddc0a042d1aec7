// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main for suites that need a Qt application object: an offscreen
// QApplication on the main thread, made before any test runs.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
