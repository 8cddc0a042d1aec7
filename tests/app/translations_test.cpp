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
        for (const char* menu : {"&Sound", "S&ervers", "&Cameras", "&Reload Server", "&Quit"}) {
            EXPECT_FALSE(t.translate("ZVMainWindow", menu).isEmpty()) << lang << ": " << menu;
        }
    }
}

TEST(Translations, AlertTextsFollowTheInstalledLanguage) {
    struct Case {
        const char* lang;
        const char* key;
        QString shown;
    } cases[] = {
        {"ru", "Server is not available", QString::fromUtf8("Сервер недоступен")},
        {"ru", "Error", QString::fromUtf8("Ошибка")},
        {"zh_CN", "Connection error", QString::fromUtf8("连接错误")},
        {"ru", "A text nobody translated", "A text nobody translated"},
    };
    for (const Case& c : cases) {
        QTranslator t;
        ASSERT_TRUE(t.load(QStringLiteral(":/i18n/zorvan_%1.qm").arg(c.lang)));
        QCoreApplication::installTranslator(&t);
        EXPECT_EQ(zvText(c.key), c.shown) << c.lang << ": " << c.key;
        QCoreApplication::removeTranslator(&t);
    }
    EXPECT_EQ(zvText("Error"), "Error") << "English shows the key";
}
