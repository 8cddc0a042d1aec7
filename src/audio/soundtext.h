// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

// A text of the sound's status line, in the person's language. The texts
// themselves are listed for the translators with the viewer's other texts.
inline QString soundText(const char* key) {
    return QCoreApplication::translate("Zorvan", key);
}
