// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include <QString>
#include <QStringView>

// Builds the address of a request to a server from the host and port the
// user typed and a path the server itself handed out (a camera's picture
// path, a microphone's sound path). Every request that carries the user's
// credentials goes through here, so that neither a typing slip nor a hostile
// server can send those credentials to another host.
namespace ServerUrl {

// True when path can follow "http://host:port" without changing the host
// the request goes to: it begins with a single "/", and holds no "@", "\",
// white space, control character or character outside printable ASCII.
bool isSafePath(QStringView path);

// True for a host that is only a host: a name or IPv4 address (letters,
// digits, ".", "-", "_") or a bracketed IPv6 literal.
bool isSafeHost(QStringView host);

// True for a port of 1 to 65535 written in decimal digits alone.
bool isSafePort(QStringView port);

// "http://host:port" followed by path (and "?query" when query is not
// empty), or nothing when host, port or path fail the checks above.
std::optional<std::string> make(const QString& host, const QString& port, const QString& path,
                                const QString& query = QString());

}  // namespace ServerUrl
