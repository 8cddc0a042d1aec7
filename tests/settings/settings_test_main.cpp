// GoogleTest main for the settings suites, with a QCoreApplication.
//
// Run with ZORVAN_SAVE_LOOP_FOLDER set, the binary instead becomes the
// child of the interrupted-save test: it opens the store in that folder and
// saves it over and over until it is killed.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "settings.h"

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString loopFolder = qEnvironmentVariable("ZORVAN_SAVE_LOOP_FOLDER");
    if (!loopFolder.isEmpty()) {
        auto store = Settings::createInFolder(loopFolder, QStringLiteral("en"));
        // Bounded, so that an orphan cannot run forever.
        for (int i = 0; i < 1'000'000; ++i) {
            store->save();
            std::fputc('.', stdout);  // one mark per save, for the parent to count
            std::fflush(stdout);
        }
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
