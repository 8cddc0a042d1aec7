// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Facade of the JSON codec: one parser and one writer, owned by the facade.
// On failure it copies the trace of the parser (or writer) into its own and
// hands the last, most general error to the caller through the optional
// error out-parameter, which it leaves untouched on success. A facade may
// run any number of parses and writes, one after another, on one thread.
//
//     tx::TXJSON json;
//     tx::JsonErrorPtr error;
//     std::optional<tx::JsonValue> list = json.objectWithString(text, &error);

#include "TXJsonBase.h"
#include "TXJsonParser.h"
#include "TXJsonValue.h"
#include "TXJsonWriter.h"

#include <optional>
#include <string>

namespace tx {

class TXJSON : public TXJsonBase {
public:
    TXJSON();

    // An object or array (a scalar document fails with error 4). A null text
    // pointer is the absent input (error 12).
    std::optional<JsonValue> objectWithString(const std::string& text,
                                              JsonErrorPtr* error = nullptr);
    std::optional<JsonValue> objectWithString(const std::string* text,
                                              JsonErrorPtr* error = nullptr);
    // Any JSON value.
    std::optional<JsonValue> fragmentWithString(const std::string& text,
                                                JsonErrorPtr* error = nullptr);
    std::optional<JsonValue> fragmentWithString(const std::string* text,
                                                JsonErrorPtr* error = nullptr);
    std::optional<JsonValue> objectWithString(const std::string* text, bool allowScalar,
                                              JsonErrorPtr* error);
    std::optional<JsonValue> objectWithString(const std::string& text, bool allowScalar,
                                              JsonErrorPtr* error) {
        return objectWithString(&text, allowScalar, error);
    }

    // The JSON text of an object or array (anything else fails with error 4).
    std::optional<std::string> stringWithObject(const JsonValue& value,
                                                JsonErrorPtr* error = nullptr);
    // The JSON text of any value.
    std::optional<std::string> stringWithFragment(const JsonValue& value,
                                                  JsonErrorPtr* error = nullptr);
    std::optional<std::string> stringWithObject(const JsonValue& value, bool allowScalar,
                                                JsonErrorPtr* error);

    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool on) { jsonWriter_.setHumanReadable(on); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool on) { jsonWriter_.setSortKeys(on); }

    // The parser's limit; setting it sets the limit of both parser and writer.
    std::uint64_t maxDepth() const override { return jsonParser_.maxDepth(); }
    void setMaxDepth(std::uint64_t maxDepth) override;

    const TXJsonParser& jsonParser() const { return jsonParser_; }
    const TXJsonWriter& jsonWriter() const { return jsonWriter_; }

private:
    // Takes over the trace of a failed parser or writer run.
    void reportFailure(const TXJsonBase& source, JsonErrorPtr* error);

    TXJsonParser jsonParser_;
    TXJsonWriter jsonWriter_;
};

}  // namespace tx
