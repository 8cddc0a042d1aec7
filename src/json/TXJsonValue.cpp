// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonValue.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <utility>

namespace tx {

namespace {

constexpr std::array<DecimalMantissa, Decimal::kMaxDigits + 1> makePowersOfTen() {
    std::array<DecimalMantissa, Decimal::kMaxDigits + 1> table{};
    DecimalMantissa p = 1;
    for (auto& entry : table) {
        entry = p;
        p *= 10;
    }
    return table;
}

constexpr auto kPow10 = makePowersOfTen();

// An exponent written with more digits than this is out of range anyway;
// stopping here keeps the arithmetic inside 64 bits.
constexpr std::int64_t kExponentTextCap = 100'000'000'000'000'000;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal digits of m, most significant first, into buf (at least 40 bytes).
// Returns the number of digits; m must not be 0.
int mantissaDigits(DecimalMantissa m, char* buf) {
    char reversed[40];
    int n = 0;
    while (m != 0) {
        reversed[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    }
    for (int i = 0; i < n; ++i) buf[i] = reversed[n - 1 - i];
    return n;
}

}  // namespace

std::optional<Decimal> Decimal::fromString(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    Decimal d;
    if (p != end && *p == '-') {
        d.negative_ = true;
        ++p;
    }
    if (p == end || !isDigit(*p)) return std::nullopt;

    // Zeros after the first significant digit are held back until a non-zero
    // digit follows, so trailing zeros end up in the exponent instead of
    // counting against the digit limit.
    DecimalMantissa mantissa = 0;
    std::int64_t digits = 0;
    std::int64_t pendingZeros = 0;
    std::int64_t fractionLength = 0;
    auto take = [&](char c) {
        if (c == '0') {
            if (digits != 0) ++pendingZeros;
            return true;
        }
        const std::int64_t needed = digits + pendingZeros + 1;
        if (needed > kMaxDigits) return false;
        mantissa = mantissa * kPow10[static_cast<std::size_t>(pendingZeros + 1)] +
                   static_cast<unsigned>(c - '0');
        digits = needed;
        pendingZeros = 0;
        return true;
    };

    if (*p == '0') {
        ++p;
        if (p != end && isDigit(*p)) return std::nullopt;
    } else {
        for (; p != end && isDigit(*p); ++p)
            if (!take(*p)) return std::nullopt;
    }
    if (p != end && *p == '.') {
        ++p;
        if (p == end || !isDigit(*p)) return std::nullopt;
        for (; p != end && isDigit(*p); ++p, ++fractionLength)
            if (!take(*p)) return std::nullopt;
    }
    std::int64_t written = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool minus = false;
        if (p != end && (*p == '+' || *p == '-')) minus = *p++ == '-';
        if (p == end || !isDigit(*p)) return std::nullopt;
        for (; p != end && isDigit(*p); ++p)
            if (written < kExponentTextCap) written = written * 10 + (*p - '0');
        if (minus) written = -written;
    }
    if (p != end) return std::nullopt;

    if (digits == 0) return d;  // zero, whatever its exponent
    const std::int64_t exponent = written - fractionLength + pendingZeros;
    if (exponent > kMaxExponent || exponent < -kMaxExponent) return std::nullopt;
    d.setMantissa(mantissa);
    d.exponent_ = exponent;
    return d;
}

Decimal Decimal::fromInt64(std::int64_t value) {
    Decimal d;
    d.negative_ = value < 0;
    std::uint64_t magnitude =
        d.negative_ ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (magnitude == 0) {
        d.negative_ = false;
        return d;
    }
    while (magnitude % 10 == 0) {
        magnitude /= 10;
        ++d.exponent_;
    }
    d.setMantissa(magnitude);
    return d;
}

std::optional<Decimal> Decimal::fromParts(bool negative, std::uint64_t mantissa,
                                          std::int64_t exponent) {
    Decimal d;
    d.negative_ = negative;
    if (mantissa == 0) return d;
    while (mantissa % 10 == 0) {
        mantissa /= 10;
        ++exponent;
    }
    if (exponent > kMaxExponent || exponent < -kMaxExponent) return std::nullopt;
    d.setMantissa(mantissa);
    d.exponent_ = exponent;
    return d;
}

std::optional<std::int64_t> Decimal::toInt64() const {
    if (mantissa() == 0) return 0;
    if (exponent_ < 0 || exponent_ > 19) return std::nullopt;  // fraction, or beyond 10^19
    const DecimalMantissa limit =
        static_cast<DecimalMantissa>(std::numeric_limits<std::int64_t>::max()) +
        (negative_ ? 1 : 0);
    const DecimalMantissa scale = kPow10[static_cast<std::size_t>(exponent_)];
    if (mantissa() > limit / scale) return std::nullopt;
    const DecimalMantissa magnitude = mantissa() * scale;
    if (magnitude > limit) return std::nullopt;
    const auto low = static_cast<std::uint64_t>(magnitude);
    return negative_ ? static_cast<std::int64_t>(0 - low) : static_cast<std::int64_t>(low);
}

double Decimal::toDouble() const {
    if (mantissa() == 0) return negative_ ? -0.0 : 0.0;
    // "digits" e "exponent", without a decimal point, so the C library reads
    // it the same way under every locale; glibc rounds correctly and gives
    // infinity or zero beyond the range of double.
    char buf[64];
    char* p = buf;
    if (negative_) *p++ = '-';
    p += mantissaDigits(mantissa(), p);
    *p++ = 'e';
    std::string exponent = std::to_string(exponent_);
    for (char c : exponent) *p++ = c;
    *p = '\0';
    return std::strtod(buf, nullptr);
}

std::string Decimal::toString() const {
    if (mantissa() == 0) return negative_ ? "-0" : "0";
    char digits[40];
    const int n = mantissaDigits(mantissa(), digits);
    // Position of the leading digit: the value is about 10^adjusted.
    const std::int64_t adjusted = n - 1 + exponent_;
    std::string out;
    if (negative_) out += '-';
    if (exponent_ >= 0 && adjusted <= 39) {
        out.append(digits, static_cast<std::size_t>(n));
        out.append(static_cast<std::size_t>(exponent_), '0');
    } else if (exponent_ < 0 && adjusted >= -7) {
        if (adjusted >= 0) {
            const auto whole = static_cast<std::size_t>(adjusted + 1);
            out.append(digits, whole);
            out += '.';
            out.append(digits + whole, static_cast<std::size_t>(n) - whole);
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-adjusted - 1), '0');
            out.append(digits, static_cast<std::size_t>(n));
        }
    } else {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits + 1, static_cast<std::size_t>(n - 1));
        }
        out += adjusted < 0 ? "e-" : "e+";
        out += std::to_string(adjusted < 0 ? -adjusted : adjusted);
    }
    return out;
}

bool operator==(const Decimal& a, const Decimal& b) {
    if (a.mantissa() == 0 && b.mantissa() == 0) return true;
    return a.negative_ == b.negative_ && a.mantissa() == b.mantissa() && a.exponent_ == b.exponent_;
}

JsonObject::JsonObject(std::initializer_list<value_type> members) {
    members_.reserve(members.size());
    for (const value_type& member : members) insert(member);
}

std::size_t JsonObject::lowerBound(std::string_view key) const {
    std::size_t low = 0;
    std::size_t high = members_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (std::string_view(members_[mid].first) < key)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

JsonObject::const_iterator JsonObject::find(std::string_view key) const {
    const std::size_t at = lowerBound(key);
    if (at != members_.size() && members_[at].first == key) return members_.begin() + at;
    return members_.end();
}

const JsonValue& JsonObject::at(std::string_view key) const {
    const auto it = find(key);
    if (it == end()) throw std::out_of_range("JsonObject::at: no such key");
    return it->second;
}

JsonValue& JsonObject::at(std::string_view key) {
    detach();
    const std::size_t at = lowerBound(key);
    if (at == members_.size() || members_[at].first != key)
        throw std::out_of_range("JsonObject::at: no such key");
    return members_[at].second;
}

JsonValue& JsonObject::operator[](std::string_view key) {
    detach();
    const std::size_t at = lowerBound(key);
    if (at == members_.size() || members_[at].first != key)
        members_.emplace(members_.begin() + at, std::string(key), JsonValue());
    return members_[at].second;
}

std::pair<JsonObject::const_iterator, bool> JsonObject::emplace(std::string key, JsonValue value) {
    detach();
    const std::size_t at = lowerBound(key);
    if (at != members_.size() && members_[at].first == key) return {members_.begin() + at, false};
    members_.emplace(members_.begin() + at, std::move(key), std::move(value));
    return {members_.begin() + at, true};
}

std::pair<JsonObject::const_iterator, bool> JsonObject::try_emplace(std::string key,
                                                                    JsonValue value) {
    return emplace(std::move(key), std::move(value));
}

std::pair<JsonObject::const_iterator, bool> JsonObject::insert(value_type member) {
    return emplace(std::move(member.first), std::move(member.second));
}

std::pair<JsonObject::const_iterator, bool> JsonObject::insert_or_assign(std::string key,
                                                                         JsonValue value) {
    auto [it, inserted] = emplace(std::move(key), JsonValue());
    members_[static_cast<std::size_t>(it - members_.begin())].second = std::move(value);
    return {it, inserted};
}

std::size_t JsonObject::erase(std::string_view key) {
    detach();
    const std::size_t at = lowerBound(key);
    if (at == members_.size() || members_[at].first != key) return 0;
    members_.erase(members_.begin() + at);
    return 1;
}

void JsonObject::detach() {
    if (!members_.get_allocator().usesArena()) return;
    Storage heap;
    heap.reserve(members_.size());
    for (value_type& member : members_) heap.push_back(std::move(member));
    members_ = std::move(heap);
}

bool operator==(const JsonObject& a, const JsonObject& b) {
    return a.members_ == b.members_;
}

JsonArray& JsonValue::asArray() {
    JsonArray& array = std::get<JsonArray>(v_);
    if (array.get_allocator().usesArena()) {
        JsonArray heap;
        heap.reserve(array.size());
        for (JsonValue& element : array) heap.push_back(std::move(element));
        array = std::move(heap);
    }
    return array;
}

JsonObject& JsonValue::asObject() {
    JsonObject& object = std::get<JsonObject>(v_);
    object.detach();
    return object;
}

const JsonValue* JsonValue::find(std::string_view key) const {
    if (!isObject()) return nullptr;
    const JsonObject& object = std::get<JsonObject>(v_);
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &it->second;
}

const JsonValue& JsonValue::null() {
    static const JsonValue shared;
    return shared;
}

JsonValue& JsonValue::operator=(const JsonValue& other) {
    if (this != &other) *this = JsonValue(other);
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
    if (this != &other) {
        // The old tree goes through the destructor below rather than through
        // the variant's own assignment, which would recurse.
        JsonValue old(std::move(*this));
        v_ = std::move(other.v_);
    }
    return *this;
}

namespace {

// Levels taken apart by plain recursion before switching to the explicit
// list below. Small enough for any thread's stack, large enough that ordinary
// documents never need the list.
constexpr int kRecursiveTeardownLevels = 200;
thread_local int teardownLevel = 0;

}  // namespace

JsonValue::~JsonValue() {
    const Type t = type();
    if (t != Type::Array && t != Type::Object) return;
    if (teardownLevel < kRecursiveTeardownLevels) {
        ++teardownLevel;
        if (t == Type::Array)
            std::get<JsonArray>(v_).clear();
        else
            std::get<JsonObject>(v_).clear();
        --teardownLevel;
        return;
    }
    // Deep inside a tree: move every descendant container into a flat list
    // and destroy them one by one, each already emptied of its children.
    std::vector<JsonValue> pending;
    auto adoptChildren = [&pending](JsonValue& v) {
        if (v.isArray()) {
            JsonArray& a = std::get<JsonArray>(v.v_);
            for (JsonValue& child : a)
                if (child.isArray() || child.isObject()) pending.push_back(std::move(child));
            a.clear();
        } else if (v.isObject()) {
            JsonObject& o = std::get<JsonObject>(v.v_);
            for (auto& member : o.members_)
                if (member.second.isArray() || member.second.isObject())
                    pending.push_back(std::move(member.second));
            o.clear();
        }
    };
    adoptChildren(*this);
    while (!pending.empty()) {
        JsonValue next = std::move(pending.back());
        pending.pop_back();
        adoptChildren(next);
    }
}

static_assert(std::is_nothrow_move_constructible_v<JsonValue>);
static_assert(std::is_nothrow_move_assignable_v<JsonValue>);
static_assert(alignof(Decimal) == alignof(std::uint64_t));

}  // namespace tx
