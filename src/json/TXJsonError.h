// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One error of the JSON codec's error trace. Errors are shared, immutable
// objects: a trace holds them in the order they occurred, and each error but
// the first of a run points to the one that was last in the trace before it,
// so following `underlying` from the last (most general) error leads back to
// the first (most specific) one.

#include <memory>
#include <string>
#include <vector>

namespace tx {

struct JsonError {
    static constexpr const char* kDomain = "org.morvatek.JSON.ErrorDomain";

    JsonError() = default;
    JsonError(const JsonError&) = default;
    JsonError(JsonError&&) = default;
    JsonError& operator=(const JsonError&) = default;
    JsonError& operator=(JsonError&&) = default;
    // Releases a long chain of underlying errors one by one rather than by
    // recursion, so a trace of any length can be dropped safely.
    ~JsonError();

    std::string domain = kDomain;
    unsigned code = 0;
    // The error's description for people (the localised-description entry).
    std::string message;
    // The previous last error of the trace; null for the first of a run.
    std::shared_ptr<const JsonError> underlying;
};

using JsonErrorPtr = std::shared_ptr<const JsonError>;
using JsonErrorTrace = std::vector<JsonErrorPtr>;

}  // namespace tx
