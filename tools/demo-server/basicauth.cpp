// SPDX-License-Identifier: GPL-3.0-or-later
#include "basicauth.h"

#include "base64.h"

namespace demo {

namespace {

bool equalsCaseInsensitive(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Equality whose running time depends on the lengths only, so a client
// cannot find the password byte by byte from answer times.
bool equalsConstantTime(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

}  // namespace

bool basicCredentialsMatch(std::string_view authorization, std::string_view user,
                           std::string_view password) {
    const size_t space = authorization.find(' ');
    if (space == std::string_view::npos) return false;
    if (!equalsCaseInsensitive(authorization.substr(0, space), "Basic")) return false;
    std::string_view token = authorization.substr(space);
    while (!token.empty() && (token.front() == ' ' || token.front() == '\t')) {
        token.remove_prefix(1);
    }
    while (!token.empty() && (token.back() == ' ' || token.back() == '\t')) {
        token.remove_suffix(1);
    }
    std::string credentials;
    credentials.reserve(user.size() + 1 + password.size());
    credentials.append(user).append(":").append(password);
    const std::string expected = codec::base64EncodeLine(
        reinterpret_cast<const unsigned char*>(credentials.data()), credentials.size());
    return equalsConstantTime(token, expected);
}

}  // namespace demo
