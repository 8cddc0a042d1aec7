// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The value tree that the JSON parser builds and the writer writes: maps with
// string keys, lists, strings (which may hold U+0000), exact decimal numbers,
// booleans distinct from numbers, and null. Values are plain C++ values:
// copying a value copies its subtree. A parsed tree keeps its containers'
// storage in one arena (see TreeAllocator); a copy, and any container handed
// out for change, lives on the heap instead.

#include "TXJsonAllocator.h"
#include "TXJsonObject.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace tx {

// 128-bit unsigned integer for the decimal mantissa; __extension__ keeps
// -Wpedantic quiet about the compiler extension.
__extension__ typedef unsigned __int128 DecimalMantissa;

// An exact base-10 number: (negative ? -1 : 1) * mantissa * 10^exponent.
// Built from the number's own text, so 0.1 is held exactly. Holds up to 38
// significant digits; a text needing more is refused rather than rounded.
// The fields are kept normalised (the mantissa has no trailing zeros, zero has
// exponent 0), so 1.50 and 1.5 are the same value; the sign of zero is kept
// for writing "-0" back.
class Decimal {
public:
    static constexpr int kMaxDigits = 38;
    static constexpr std::int64_t kMaxExponent = 1'000'000'000;

    Decimal() = default;

    // Parses a number in JSON's grammar (optional '-', digits, optional
    // fraction and exponent). Returns nothing for text outside the grammar or
    // for a value beyond kMaxDigits significant digits or the exponent range.
    static std::optional<Decimal> fromString(std::string_view text);
    static Decimal fromInt64(std::int64_t value);
    // (negative ? -1 : 1) * mantissa * 10^exponent, or nothing when the
    // exponent is beyond the range. The parser's fast path for short numbers.
    static std::optional<Decimal> fromParts(bool negative, std::uint64_t mantissa,
                                            std::int64_t exponent);

    // Exact conversion; nothing when the value has a fractional part or does
    // not fit in 64 bits.
    std::optional<std::int64_t> toInt64() const;
    // Nearest double (correctly rounded where the standard library is).
    double toDouble() const;
    // Plain decimal text, such as 12, -0.5 or 1.25e+40 for large exponents.
    std::string toString() const;

    bool isNegative() const { return negative_; }
    DecimalMantissa mantissa() const {
        return (static_cast<DecimalMantissa>(mantissaHigh_) << 64) | mantissaLow_;
    }
    std::int64_t exponent() const { return exponent_; }

    // Numeric equality: 1.0 == 1 and 0 == -0.
    friend bool operator==(const Decimal& a, const Decimal& b);

private:
    void setMantissa(DecimalMantissa m) {
        mantissaHigh_ = static_cast<std::uint64_t>(m >> 64);
        mantissaLow_ = static_cast<std::uint64_t>(m);
    }

    // The mantissa in two halves keeps the alignment of Decimal, and with it
    // the size of every JsonValue, at that of a 64-bit integer.
    std::uint64_t mantissaHigh_ = 0;
    std::uint64_t mantissaLow_ = 0;
    std::int64_t exponent_ = 0;
    bool negative_ = false;
};

class JsonValue;
using JsonArray = std::vector<JsonValue, TreeAllocator<JsonValue>>;

class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;  // null
    JsonValue(const JsonValue&) = default;
    JsonValue(JsonValue&&) noexcept = default;
    JsonValue& operator=(const JsonValue& other);
    JsonValue& operator=(JsonValue&& other) noexcept;
    // Takes a tree apart without recursing deeper than a fixed number of
    // levels, so that a very deeply nested document (possible with the
    // parser's depth limit set to 0) cannot exhaust the stack. Copying and
    // comparing still recurse once per level.
    ~JsonValue();
    JsonValue(std::nullptr_t) {}
    JsonValue(bool b) : v_(b) {}
    JsonValue(Decimal d) : v_(d) {}
    JsonValue(std::string s) : v_(std::move(s)) {}
    JsonValue(const char* s) : v_(std::string(s)) {}
    JsonValue(JsonArray a) : v_(std::move(a)) {}
    JsonValue(JsonObject o) : v_(std::move(o)) {}
    // Integers become exact decimals; without this they would turn into bool.
    template <typename I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, bool>) JsonValue(I i)
        : v_(Decimal::fromInt64(static_cast<std::int64_t>(i))) {}

    // Replaces the value with a T made from args; returns the new value.
    template <typename T, typename... Args>
    T& emplace(Args&&... args) {
        if (isArray() || isObject()) {
            JsonValue old(std::move(*this));  // taken apart by ~JsonValue
        }
        return v_.template emplace<T>(std::forward<Args>(args)...);
    }

    // The one shared null value, for callers that need a reference.
    static const JsonValue& null();

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isNumber() const { return type() == Type::Number; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isObject() const { return type() == Type::Object; }

    // Typed access; the value must be of that type. The changeable forms of
    // an array or object first move a parsed container's storage out of its
    // tree's arena to the heap (once), so that it can grow.
    bool asBool() const { return std::get<bool>(v_); }
    const Decimal& asNumber() const { return std::get<Decimal>(v_); }
    const std::string& asString() const { return std::get<std::string>(v_); }
    const JsonArray& asArray() const { return std::get<JsonArray>(v_); }
    const JsonObject& asObject() const { return std::get<JsonObject>(v_); }
    std::string& asString() { return std::get<std::string>(v_); }
    JsonArray& asArray();
    JsonObject& asObject();

    // Member lookup: nullptr when this is not an object or has no such key.
    const JsonValue* find(std::string_view key) const;
    // The string member under key, or nullptr when absent or not a string.
    const std::string* findString(std::string_view key) const {
        const JsonValue* v = find(key);
        return v && v->isString() ? &v->asString() : nullptr;
    }

    friend bool operator==(const JsonValue& a, const JsonValue& b) { return a.v_ == b.v_; }

private:
    friend class JsonObject;
    friend class TXJsonParser;

    std::variant<std::monostate, bool, Decimal, std::string, JsonArray, JsonObject> v_;
};

inline JsonObject::const_iterator JsonObject::begin() const noexcept {
    return members_.begin();
}
inline JsonObject::const_iterator JsonObject::end() const noexcept {
    return members_.end();
}
inline std::size_t JsonObject::size() const noexcept {
    return members_.size();
}
inline bool JsonObject::empty() const noexcept {
    return members_.empty();
}
inline void JsonObject::clear() noexcept {
    members_.clear();
}
inline bool JsonObject::contains(std::string_view key) const {
    return find(key) != end();
}

}  // namespace tx
