// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Strict JSON parser with an error trace. It scans the UTF-8 bytes of the
// text once and builds a JsonValue tree. Lenient on purpose in a few points:
// commas between array elements and object members may be left out, vertical
// tab and form feed count as whitespace, and the input ends at its first NUL
// byte. Nesting is followed with an explicit stack, so even with maxDepth 0
// (no limit) a deep document cannot exhaust the call stack.
//
// Bytes that are not valid UTF-8 inside a string are each replaced by U+FFFD
// (one per maximal invalid sequence), so the strings of a result are always
// valid UTF-8; outside strings such bytes are grammar errors.

#include "TXJsonBase.h"
#include "TXJsonValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

class TXJsonParser : public TXJsonBase {
public:
    TXJsonParser() = default;

    // Any JSON value, or none on error (see errorTrace()). A null pointer is
    // the absent input and fails with error 12. Clears the trace first.
    std::optional<JsonValue> fragmentWithString(const std::string* text);
    std::optional<JsonValue> fragmentWithString(const std::string& text) {
        return fragmentWithString(&text);
    }
    // An object or array, or none: a scalar document fails with error 4.
    std::optional<JsonValue> objectWithString(const std::string* text);
    std::optional<JsonValue> objectWithString(const std::string& text) {
        return objectWithString(&text);
    }

private:
    // An array or object being scanned. Its elements (or members) so far are
    // on values_ (or members_) from start on; a finished container becomes
    // one exactly sized vector in the tree's arena. For an object, pending
    // is the position on members_ of the member whose value is being
    // scanned.
    struct Frame {
        std::size_t start;
        std::size_t pending;
        bool isObject;
    };

    bool scanValue(JsonValue& root);
    bool openContainer(bool isObject);
    // Makes the innermost open container into a value and pops it.
    JsonValue closeContainer();
    // Where the next value goes: the root, a new element or the pending
    // member of the innermost open container.
    JsonValue& slot(JsonValue& root);
    // The string after its opening quote: a view of the input when it holds
    // no escapes, else of stringBuffer_; valid until the next scan.
    bool scanString(std::string_view& text);
    bool scanRestOfString(std::string& out);
    bool scanUnicodeChar(std::string& out);
    bool scanHexQuad(unsigned& value);
    bool scanNumber(JsonValue& root);
    bool scanLiteral(const char* rest, const char* message);
    bool scanIsAtEnd();
    void skipWhitespace();
    // Adds the errors of every enclosing container after a failure; the top
    // frame adds its "value failed" error only if it did not fail itself.
    bool unwind(bool topFrameFailed);

    const char* c_ = nullptr;    // read position
    const char* end_ = nullptr;  // end of the input buffer (holds a NUL)
    std::uint64_t limit_ = 0;    // maxDepth for the current run
    std::vector<Frame> stack_;   // these are kept between runs for their capacity
    std::vector<JsonValue> values_;
    std::vector<JsonObject::value_type> members_;
    std::vector<std::uint32_t> order_;  // members of one object in key order
    std::string stringBuffer_;          // strings that hold escapes
    // The arena of the tree being built; made with its first container.
    TreeAllocator<JsonValue> arena_;
};

}  // namespace tx
