// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Cleaning applied to every list answer before it is decoded.
class Utils {
public:
    // A copy of text without its control characters (code units below 32),
    // so raw line breaks and tabs inside an answer do not break decoding.
    static QString clearString(const QString& text);
};
