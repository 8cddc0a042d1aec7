// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonError.h"

#include <utility>

namespace tx {

JsonError::~JsonError() {
    std::shared_ptr<const JsonError> next = std::move(underlying);
    // While this was the last owner of the next error, detach that error's
    // own underlying error before letting it go, so it does not recurse. An
    // error is made non-const (the trace hands it out as const), so changing
    // it here is sound; a use count of 1 means no one else can see it.
    while (next && next.use_count() == 1) {
        std::shared_ptr<const JsonError> after =
            std::move(const_cast<JsonError&>(*next).underlying);
        next = std::move(after);
    }
}

}  // namespace tx
