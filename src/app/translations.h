// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>

class QCoreApplication;

// Installs the viewer's translation for locale (English needs none) and Qt's
// own, from the tables built into the application. Returns whether the
// viewer's table was found.
bool installTranslations(QCoreApplication& app, const QLocale& locale);
