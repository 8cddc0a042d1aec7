// SPDX-License-Identifier: GPL-3.0-or-later
#include "utils.h"

QString Utils::clearString(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 32) out.append(c);
    }
    return out;
}
