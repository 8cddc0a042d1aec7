// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installTranslations(QCoreApplication& app, const QLocale& locale) {
    // Owned by the application object, so they live as long as it does.
    auto* qt = new QTranslator(&app);
    if (qt->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    }
    auto* own = new QTranslator(&app);
    if (!own->load(locale, "zorvan", "_", ":/i18n")) return false;
    QCoreApplication::installTranslator(own);
    return true;
}
