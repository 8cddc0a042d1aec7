// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One-call conveniences over a private parser or writer. They keep no error
// trace: a failure is only the absence of a result. Use TXJSON to learn why.

#include "TXJsonValue.h"

#include <optional>
#include <string>

namespace tx {

// text as an object or array.
std::optional<JsonValue> JSONValue(const std::string& text);
// text as any JSON value.
std::optional<JsonValue> JSONFragmentValue(const std::string& text);
// The compact JSON text of an object or array.
std::optional<std::string> JSONRepresentation(const JsonValue& value);
// The compact JSON text of any value.
std::optional<std::string> JSONFragment(const JsonValue& value);

}  // namespace tx
