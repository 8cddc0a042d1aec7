// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonParser.h"

#include "TXJsonScan.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace tx {

namespace {

// Space, tab, line feed, vertical tab, form feed and carriage return.
struct WhitespaceSet {
    bool ws[256];
    constexpr WhitespaceSet() : ws() {
        for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) ws[static_cast<unsigned char>(c)] = true;
    }
};
constexpr WhitespaceSet kWhitespace;

// Plain byte order, as std::string compares; most keys of one object differ
// in their first byte, which is decided here without a call.
int compareKeys(const std::string& a, const std::string& b) {
    if (!a.empty() && !b.empty() && a[0] != b[0])
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]) ? -1 : 1;
    return a.compare(b);
}

}  // namespace

std::optional<JsonValue> TXJsonParser::fragmentWithString(const std::string* text) {
    clearErrorTrace();
    if (!text) {
        addErrorWithCode(12, "Input was 'nil'");
        return std::nullopt;
    }
    depth_ = 0;
    limit_ = maxDepth();
    c_ = text->c_str();
    end_ = c_ + text->size();
    JsonValue root;
    bool ok = scanValue(root);
    if (ok && !scanIsAtEnd()) {
        addErrorWithCode(10, "Garbage after JSON");
        ok = false;
    }
    // The tree holds its arena now; a failed run leaves nothing behind.
    stack_.clear();
    values_.clear();
    members_.clear();
    arena_ = TreeAllocator<JsonValue>();
    if (!ok) return std::nullopt;
    return std::optional<JsonValue>(std::move(root));
}

std::optional<JsonValue> TXJsonParser::objectWithString(const std::string* text) {
    std::optional<JsonValue> value = fragmentWithString(text);
    if (value && !value->isArray() && !value->isObject()) {
        addErrorWithCode(4, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return value;
}

void TXJsonParser::skipWhitespace() {
    // Every whitespace byte is at most a blank, so most bytes fail the
    // first test.
    while (static_cast<unsigned char>(*c_) <= ' ' &&
           kWhitespace.ws[static_cast<unsigned char>(*c_)])
        ++c_;
}

bool TXJsonParser::scanIsAtEnd() {
    skipWhitespace();
    return *c_ == '\0';
}

// Scans one value into root. Arrays and objects do not recurse: the frame
// of each open container is on stack_ and its elements or members so far on
// values_ or members_, from which the finished container is made in one go.
bool TXJsonParser::scanValue(JsonValue& root) {
    stack_.clear();
    values_.clear();
    members_.clear();
    for (;;) {
        skipWhitespace();
        const auto b = static_cast<unsigned char>(*c_);
        bool ok;
        bool opened = false;
        switch (b) {
            case '\0':
                addErrorWithCode(11, "Unexpected end of string");
                ok = false;
                break;
            case '"': {
                ++c_;
                std::string_view text;
                ok = scanString(text);
                if (ok) slot(root).v_.emplace<std::string>(text);
                break;
            }
            case '[':
            case '{':
                ++c_;
                ok = opened = openContainer(b == '{');
                break;
            case 't':
                ++c_;
                ok = scanLiteral("rue", "Expected 'true'");
                if (ok) slot(root).v_.emplace<bool>(true);
                break;
            case 'f':
                ++c_;
                ok = scanLiteral("alse", "Expected 'false'");
                if (ok) slot(root).v_.emplace<bool>(false);
                break;
            case 'n':
                ++c_;
                ok = scanLiteral("ull", "Expected 'null'");
                if (ok) slot(root);
                break;
            case '+':
                addErrorWithCode(2, "Leading + disallowed in number");
                ok = false;
                break;
            default:
                if (b == '-' || scan::isDigit(b)) {
                    ok = scanNumber(root);
                } else {
                    addErrorWithCode(3, "Unrecognised leading character");
                    ok = false;
                }
                break;
        }
        if (!ok) return unwind(false);

        // Go on with the innermost open container until it wants a value.
        for (;;) {
            if (stack_.empty()) return true;
            Frame& frame = stack_.back();
            const char close = frame.isObject ? '}' : ']';
            if (!opened) {
                skipWhitespace();
                if (*c_ == ',') {
                    ++c_;
                    skipWhitespace();
                    if (*c_ == close) {
                        addErrorWithCode(9, frame.isObject ? "Trailing comma disallowed in object"
                                                           : "Trailing comma disallowed in array");
                        return unwind(true);
                    }
                }
            }
            opened = false;
            if (*c_ == '\0') {
                addErrorWithCode(11, frame.isObject ? "End of input while parsing object"
                                                    : "End of input while parsing array");
                return unwind(true);
            }
            skipWhitespace();
            if (*c_ == close) {
                ++c_;
                --depth_;
                JsonValue container = closeContainer();
                slot(root) = std::move(container);
                continue;  // the container is complete: back to its parent
            }
            if (!frame.isObject) break;
            std::string_view key;
            if (*c_ != '"' || (++c_, !scanString(key))) {
                addErrorWithCode(3, "Object key string expected");
                return unwind(true);
            }
            skipWhitespace();
            if (*c_ != ':') {
                addErrorWithCode(3, "Expected ':' separating key and value");
                return unwind(true);
            }
            ++c_;
            frame.pending = members_.size();
            members_.emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                                  std::forward_as_tuple());
            break;
        }
    }
}

JsonValue& TXJsonParser::slot(JsonValue& root) {
    if (stack_.empty()) return root;
    const Frame& frame = stack_.back();
    if (frame.isObject) return members_[frame.pending].second;
    return values_.emplace_back();
}

bool TXJsonParser::openContainer(bool isObject) {
    ++depth_;
    if (limit_ != 0 && depth_ > limit_) {
        addErrorWithCode(7, "Nested too deep");
        return false;
    }
    stack_.push_back(Frame{isObject ? members_.size() : values_.size(), 0, isObject});
    return true;
}

JsonValue TXJsonParser::closeContainer() {
    const Frame frame = stack_.back();
    stack_.pop_back();
    if (!arena_.usesArena()) arena_ = TreeAllocator<JsonValue>(JsonArena::create());
    JsonValue out;
    if (!frame.isObject) {
        const auto first = values_.begin() + static_cast<std::ptrdiff_t>(frame.start);
        JsonArray& array = out.v_.emplace<JsonArray>(arena_);
        array.reserve(static_cast<std::size_t>(values_.end() - first));
        for (auto it = first; it != values_.end(); ++it) array.push_back(std::move(*it));
        values_.erase(first, values_.end());
        return out;
    }

    // Members in ascending key order; among equal keys the later comes later
    // and is the one kept, as a later duplicate replaces the earlier value.
    const std::size_t n = members_.size() - frame.start;
    JsonObject::value_type* const m = members_.data() + frame.start;
    order_.resize(n);
    for (std::size_t i = 0; i < n; ++i) order_[i] = static_cast<std::uint32_t>(i);
    const auto less = [m](std::uint32_t x, std::uint32_t y) {
        const int order = compareKeys(m[x].first, m[y].first);
        return order < 0 || (order == 0 && x < y);
    };
    const auto sameKey = [m](std::uint32_t x, std::uint32_t y) {
        return compareKeys(m[x].first, m[y].first) == 0;
    };
    if (n <= 24) {
        // Few members, often nearly in order: insertion sort.
        for (std::size_t i = 1; i < n; ++i) {
            const std::uint32_t item = order_[i];
            std::size_t j = i;
            for (; j > 0 && less(item, order_[j - 1]); --j) order_[j] = order_[j - 1];
            order_[j] = item;
        }
    } else {
        std::sort(order_.begin(), order_.end(), less);
    }
    JsonObject& object = out.v_.emplace<JsonObject>();
    object.members_ = JsonObject::Storage(JsonObject::Storage::allocator_type(arena_));
    std::size_t kept = n;
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (sameKey(order_[i], order_[i + 1])) --kept;
    object.members_.reserve(kept);
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 < n && sameKey(order_[i], order_[i + 1])) continue;
        object.members_.push_back(std::move(m[order_[i]]));
    }
    members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(frame.start), members_.end());
    return out;
}

bool TXJsonParser::unwind(bool topFrameFailed) {
    std::size_t n = stack_.size();
    if (topFrameFailed) --n;
    while (n-- != 0) {
        const Frame& frame = stack_[n];
        if (frame.isObject)
            addErrorWithCode(3, "Object value expected for key: " + members_[frame.pending].first);
        else
            addErrorWithCode(3, "Expected value while parsing array");
    }
    stack_.clear();
    return false;
}

bool TXJsonParser::scanLiteral(const char* rest, const char* message) {
    for (; *rest; ++rest, ++c_) {
        if (*c_ != *rest) {  // also stops at the terminating NUL
            addErrorWithCode(3, message);
            return false;
        }
    }
    return true;
}

}  // namespace tx
