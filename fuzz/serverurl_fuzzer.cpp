// SPDX-License-Identifier: GPL-3.0-or-later
// The checks that stand between a server-supplied path (and the host and
// port the user typed) and a request URL. The input is split at NUL bytes
// into host, port, path and query. Whenever ServerUrl::make() gives a URL,
// libcurl's URL parser (what the HTTP client uses) and QUrl, where they
// accept it at all, must read from it exactly the host and port that were
// passed in; and a path that isSafePath() accepts, put after a fixed host
// and port, must leave them as they were. (A parser that refuses a URL
// makes the request fail; it cannot send it elsewhere. QUrl refuses, for
// instance, a host label that starts with "-", which libcurl takes as is.)

#include "serverurl.h"

#include <QRegularExpression>
#include <QString>
#include <QUrl>

#include <curl/curl.h>

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what, const std::string& url) {
    if (!condition) {
        std::fprintf(stderr, "property failed: %s: %s\n", what, url.c_str());
        std::abort();
    }
}

// Two spellings of one host: equal ignoring case, the same IPv4 address in
// two of the forms that resolvers accept ("127.1" and "127.0.0.1"), or the
// same bracketed IPv6 address ("[::0]" and "[::]").
bool sameHost(const std::string& a, const std::string& b) {
    if (QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0)
        return true;
    in_addr x{}, y{};
    if (inet_aton(a.c_str(), &x) == 1 && inet_aton(b.c_str(), &y) == 1) return x.s_addr == y.s_addr;
    const auto bracketed = [](const std::string& s) {
        return s.size() > 2 && s.front() == '[' && s.back() == ']';
    };
    in6_addr v{}, w{};
    return bracketed(a) && bracketed(b) &&
           inet_pton(AF_INET6, a.substr(1, a.size() - 2).c_str(), &v) == 1 &&
           inet_pton(AF_INET6, b.substr(1, b.size() - 2).c_str(), &w) == 1 &&
           std::memcmp(&v, &w, sizeof v) == 0;
}

struct Parsed {
    bool ok = false;
    std::string host;
    long port = -1;
};

Parsed parseWithCurl(const std::string& url) {
    Parsed out;
    CURLU* u = curl_url();
    if (!u) return out;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &port, 0) == CURLUE_OK) {
        out.ok = true;
        out.host = host;
        out.port = std::strtol(port, nullptr, 10);
    }
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
    return out;
}

Parsed parseWithQUrl(const std::string& url) {
    Parsed out;
    const QUrl u(QString::fromStdString(url));
    if (!u.isValid()) return out;
    out.ok = true;
    // QUrl gives an IPv6 literal without its brackets.
    const QString host = u.host(QUrl::FullyEncoded);
    out.host = (host.contains(u':') ? u'[' + host + u']' : host).toStdString();
    out.port = u.port();
    return out;
}

void checkUrl(const std::string& url, const QString& host, const QString& port) {
    const std::string wantHost = host.toStdString();
    const long wantPort = port.toLong();
    const Parsed curl = parseWithCurl(url);
    if (curl.ok) {
        check(sameHost(curl.host, wantHost), "libcurl reads the host passed in", url);
        check(curl.port == wantPort, "libcurl reads the port passed in", url);
    }
    // QUrl (Qt 6.4) reads a dotted label of the form 0b101 as a binary
    // number, so it takes "2.0b1" for the address 2.0.0.1, where libcurl and
    // the resolver take a name. The viewer's requests go through libcurl
    // alone, so such hosts are left out of the QUrl comparison.
    static const QRegularExpression binaryLabel(QStringLiteral("(^|\\.)0[bB][01]*(\\.|$)"));
    const Parsed qurl = binaryLabel.match(host).hasMatch() ? Parsed{} : parseWithQUrl(url);
    if (qurl.ok) {
        check(sameHost(qurl.host, wantHost), "QUrl reads the host passed in", url);
        check(qurl.port == wantPort, "QUrl reads the port passed in", url);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<QString> parts;
    const char* p = reinterpret_cast<const char*>(data);
    const char* const end = p + size;
    while (parts.size() < 4) {
        const char* stop = p;
        while (stop != end && *stop != '\0') ++stop;
        parts.push_back(QString::fromUtf8(p, stop - p));
        p = stop == end ? end : stop + 1;
    }
    const QString& host = parts[0];
    const QString& port = parts[1];
    const QString& path = parts[2];
    const QString& query = parts[3];

    if (const std::optional<std::string> url = ServerUrl::make(host, port, path, query))
        checkUrl(*url, host, port);

    // The whole input as a server-supplied path after a fixed host and port.
    const QString whole =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& candidate : {whole, path}) {
        const bool safe = ServerUrl::isSafePath(candidate);
        const std::optional<std::string> url =
            ServerUrl::make(QStringLiteral("camera.example"), QStringLiteral("8080"), candidate);
        check(url.has_value() == safe, "make() takes exactly the safe paths",
              candidate.toStdString());
        if (url) checkUrl(*url, QStringLiteral("camera.example"), QStringLiteral("8080"));
    }
    return 0;
}
