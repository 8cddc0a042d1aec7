// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonConvenience.h"

#include "TXJsonParser.h"
#include "TXJsonWriter.h"

namespace tx {

std::optional<JsonValue> JSONValue(const std::string& text) {
    return TXJsonParser().objectWithString(text);
}

std::optional<JsonValue> JSONFragmentValue(const std::string& text) {
    return TXJsonParser().fragmentWithString(text);
}

std::optional<std::string> JSONRepresentation(const JsonValue& value) {
    return TXJsonWriter().stringWithObject(value);
}

std::optional<std::string> JSONFragment(const JsonValue& value) {
    return TXJsonWriter().stringWithFragment(value);
}

}  // namespace tx
