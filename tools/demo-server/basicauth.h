// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// HTTP Basic credentials (RFC 7617) as the demo server checks them.

#include <string>
#include <string_view>

namespace demo {

// True when `authorization` (the header's value) is the Basic scheme, in any
// letter case, with the padded Base64 of exactly `user + ":" + password`
// (the bytes as given: UTF-8 for text outside ASCII). The comparison does not stop at the first
// differing byte.
bool basicCredentialsMatch(std::string_view authorization, std::string_view user,
                           std::string_view password);

}  // namespace demo
