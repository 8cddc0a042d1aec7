#pragma once

// A small blocking HTTP GET over libcurl for the demo server's tests. Only
// ever used with 127.0.0.1; proxies from the environment are bypassed.

#include <map>
#include <optional>
#include <string>
#include <vector>

struct HttpAnswer {
    bool ok = false;  // a whole answer arrived (whatever its status)
    long status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string header(const std::string& lowerName) const {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct HttpRequest {
    std::string target = "/";                 // path and query
    std::optional<std::string> userPassword;  // "user:password" for curl's own Basic encoder
    std::vector<std::string> headers;         // raw "Name: value" lines
};

HttpAnswer httpGet(int port, const HttpRequest& request);

inline HttpAnswer httpGet(int port, const std::string& target,
                          std::optional<std::string> userPassword = std::nullopt) {
    return httpGet(port, HttpRequest{target, std::move(userPassword), {}});
}
