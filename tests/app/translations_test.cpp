// Every viewer text has a Russian and a Simplified Chinese translation, and
// a text without one shows its English key.

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include "zvtexts.h"

TEST(Translations, EveryTextIsTranslatedInBothLanguages) {
    for (const char* lang : {"ru", "zh_CN"}) {
        QTranslator t;
        ASSERT_TRUE(t.load(QStringLiteral(":/i18n/zorvan_%1.qm").arg(lang))) << lang;
        for (const char* key : zvtexts::kAll) {
            const QString text = t.translate("Zorvan", key);
            EXPECT_FALSE(text.isEmpty()) << lang << ": " << key;
            EXPECT_NE(text, QString::fromUtf8(key)) << lang << ": " << key;
        }
        EXPECT_EQ(t.translate("Zorvan", "A text nobody translated"), "") << "so the key is shown";
        for (const char* menu :
             {"&Sound", "S&ervers", "&Cameras", "&Reload Server", "&Quit", "&View", "Camera Wall",
              "Cameras on Page", "Next Page", "Previous Page", "Full Screen"}) {
            EXPECT_FALSE(t.translate("ZVMainWindow", menu).isEmpty()) << lang << ": " << menu;
        }
        for (const char* caption : {"Servers", "Add a server", "Remove the selected server"})
            EXPECT_FALSE(t.translate("ZVServerSettings", caption).isEmpty()) << lang << caption;
    }
}
