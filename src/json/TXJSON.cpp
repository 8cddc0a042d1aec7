// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJSON.h"

namespace tx {

TXJSON::TXJSON() {
    TXJSON::setMaxDepth(kDefaultMaxDepth);
}

void TXJSON::setMaxDepth(std::uint64_t maxDepth) {
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

void TXJSON::reportFailure(const TXJsonBase& source, JsonErrorPtr* error) {
    setErrorTrace(source.errorTrace());
    if (error) *error = lastError();
}

std::optional<JsonValue> TXJSON::objectWithString(const std::string* text, bool allowScalar,
                                                  JsonErrorPtr* error) {
    std::optional<JsonValue> value =
        allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    if (!value) reportFailure(jsonParser_, error);
    return value;
}

std::optional<JsonValue> TXJSON::objectWithString(const std::string& text, JsonErrorPtr* error) {
    return objectWithString(&text, false, error);
}

std::optional<JsonValue> TXJSON::objectWithString(const std::string* text, JsonErrorPtr* error) {
    return objectWithString(text, false, error);
}

std::optional<JsonValue> TXJSON::fragmentWithString(const std::string& text, JsonErrorPtr* error) {
    return objectWithString(&text, true, error);
}

std::optional<JsonValue> TXJSON::fragmentWithString(const std::string* text, JsonErrorPtr* error) {
    return objectWithString(text, true, error);
}

std::optional<std::string> TXJSON::stringWithObject(const JsonValue& value, bool allowScalar,
                                                    JsonErrorPtr* error) {
    std::optional<std::string> text =
        allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    if (!text) reportFailure(jsonWriter_, error);
    return text;
}

std::optional<std::string> TXJSON::stringWithObject(const JsonValue& value, JsonErrorPtr* error) {
    return stringWithObject(value, false, error);
}

std::optional<std::string> TXJSON::stringWithFragment(const JsonValue& value, JsonErrorPtr* error) {
    return stringWithObject(value, true, error);
}

}  // namespace tx
