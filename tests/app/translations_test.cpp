// SPDX-License-Identifier: GPL-3.0-or-later
// Every viewer text has a Russian and a Simplified Chinese translation,
// installed with Qt's own for the language, and a text without one shows
// its English key.

#include <QApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include "translations.h"
#include "zvtexts.h"

TEST(Translations, EveryTextIsTranslatedInBothLanguages) {
    for (const char* lang : {"ru", "zh_CN"}) {
        qDeleteAll(qApp->findChildren<QTranslator*>());  // the language before
        ASSERT_TRUE(installTranslations(*qApp, QLocale(lang))) << lang;
        const auto translated = [&](const char* context, const char* text) {
            EXPECT_NE(QCoreApplication::translate(context, text), QString::fromUtf8(text))
                << lang << ": " << context << ": " << text;
        };
        for (const char* key : zvtexts::kAll) translated("Zorvan", key);
        for (const char* menu :
             {"&Sound", "S&ervers", "&Cameras", "&Reload Server", "&Quit", "&View", "Camera Wall",
              "Cameras on Page", "Next Page", "Previous Page", "Full Screen", "Live Video"})
            translated("ZVMainWindow", menu);
        for (const char* caption : {"Servers", "Add a server", "Remove the selected server"})
            translated("ZVServerSettings", caption);
        translated("QPlatformTheme", "Cancel");  // Qt's own
        EXPECT_EQ(QCoreApplication::translate("Zorvan", "A text nobody translated"),
                  "A text nobody translated");
    }
}
