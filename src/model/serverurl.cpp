// SPDX-License-Identifier: GPL-3.0-or-later
#include "serverurl.h"

namespace ServerUrl {

bool isSafePath(QStringView path) {
    if (path.size() < 1 || path[0] != u'/') return false;
    // "//x" would read as a network path to host x.
    if (path.size() > 1 && path[1] == u'/') return false;
    for (QChar c : path) {
        const char16_t u = c.unicode();
        // Printable ASCII only; "@" and "\" are read as the end of user
        // information or a separator by some URL parsers.
        if (u <= 0x20 || u >= 0x7f || u == u'@' || u == u'\\') return false;
    }
    return true;
}

bool isSafeHost(QStringView host) {
    if (host.isEmpty() || host.size() > 253) return false;
    if (host.front() == u'[') {
        if (host.size() < 4 || host.back() != u']') return false;
        for (QChar c : host.mid(1, host.size() - 2)) {
            const char16_t u = c.unicode();
            const bool ok = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') ||
                            (u >= u'A' && u <= u'F') || u == u':' || u == u'.';
            if (!ok) return false;
        }
        return true;
    }
    for (QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') ||
                        (u >= u'A' && u <= u'Z') || u == u'.' || u == u'-' || u == u'_';
        if (!ok) return false;
    }
    return host.front() != u'.' && host.front() != u'-';
}

bool isSafePort(QStringView port) {
    if (port.isEmpty() || port.size() > 5) return false;
    int value = 0;
    for (QChar c : port) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value >= 1 && value <= 65535;
}

std::optional<std::string> make(const QString& host, const QString& port, const QString& path,
                                const QString& query) {
    if (!isSafeHost(host) || !isSafePort(port) || !isSafePath(path)) return std::nullopt;
    // The query is built by the viewer, not taken from the server; it only
    // has to stay inside the query part.
    for (QChar c : query) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u'#') return std::nullopt;
    }
    QString url = QStringLiteral("http://") + host + u':' + port + path;
    if (!query.isEmpty()) url += u'?' + query;
    return url.toStdString();
}

}  // namespace ServerUrl
