// SPDX-License-Identifier: GPL-3.0-or-later
// Every viewer text has a Russian and a Simplified Chinese translation,
// installed with Qt's own for the language, and a text without one shows
// its English key; a count reads in each language's own plural forms.

#include <QApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include "camerapanel.h"
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

TEST(Translations, CameraCountsTakeTheLanguagesPluralForms) {
    // clang-format off
    const struct { const char* lang; int count; const char* shown; } cases[] = {
        {"", 0, "0 cameras"},
        {"", 1, "1 camera"},
        {"", 2, "2 cameras"},
        {"", 21, "21 cameras"},
        {"ru", 1, "1 камера"},
        {"ru", 3, "3 камеры"},
        {"ru", 5, "5 камер"},
        {"ru", 11, "11 камер"},
        {"ru", 21, "21 камера"},
        {"ru", 22, "22 камеры"},
        {"zh_CN", 1, "1 个摄像头"},
        {"zh_CN", 5, "5 个摄像头"},
    };
    // clang-format on
    for (const auto& c : cases) {
        qDeleteAll(qApp->findChildren<QTranslator*>());  // English: no table
        if (*c.lang) ASSERT_TRUE(installTranslations(*qApp, QLocale(c.lang))) << c.lang;
        EXPECT_EQ(CameraPanel::cameraCountText(c.count), QString::fromUtf8(c.shown))
            << c.lang << " " << c.count;
    }
    qDeleteAll(qApp->findChildren<QTranslator*>());
}
