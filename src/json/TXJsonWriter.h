// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writes a JsonValue tree as JSON text, compact or indented for people.
// Containers are followed with an explicit stack, so maxDepth 0 (no limit)
// is safe for any tree. Strings are written byte for byte apart from the
// escapes JSON needs; the slash and bytes of 0x80 and above are not escaped.

#include "TXJsonBase.h"
#include "TXJsonValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

class TXJsonWriter : public TXJsonBase {
public:
    TXJsonWriter() = default;

    // The JSON text of any value, or none on error (see errorTrace()).
    // Clears the trace and sets depth to 0 first.
    std::optional<std::string> stringWithFragment(const JsonValue& value);
    // The same for an object or array; any other value fails with error 4.
    std::optional<std::string> stringWithObject(const JsonValue& value);

    // Each element and member on a line of its own, indented by two blanks a
    // level, and " : " between key and value.
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool on) { humanReadable_ = on; }
    // Members in ascending key order by plain byte comparison. JsonObject
    // already keeps its members in that order, so the text is the same either
    // way; the flag is kept for callers that ask for it explicitly.
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool on) { sortKeys_ = on; }

    // A line feed followed by two blanks per level of depth().
    std::string indent() const;

    // Appends value as a JSON string literal, quotes included.
    static void appendString(std::string_view value, std::string& out);

private:
    // An open array or object, with the position of the next element or
    // member and, for an object, the key whose value is being written.
    struct Frame {
        const JsonValue* container;
        std::size_t index;
        JsonObject::const_iterator member;
        const std::string* key;
    };

    bool appendValue(const JsonValue& root, std::string& out);
    void appendIndent(std::string& out) const;

    bool sortKeys_ = false;
    bool humanReadable_ = false;
    std::vector<Frame> stack_;  // kept between runs for its capacity
};

}  // namespace tx
