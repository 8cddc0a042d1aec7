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

bool isDigit(unsigned char b) {
    return b >= '0' && b <= '9';
}

// Value of each hexadecimal digit byte; 0xFF for every other byte.
struct HexDigits {
    std::uint8_t value[256];
    constexpr HexDigits() : value() {
        for (auto& v : value) v = 0xFF;
        for (int i = 0; i < 10; ++i) value['0' + i] = static_cast<std::uint8_t>(i);
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<std::uint8_t>(10 + i);
            value['A' + i] = static_cast<std::uint8_t>(10 + i);
        }
    }
};
constexpr HexDigits kHexDigits;

void appendCodePoint(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)),
                              static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 2);
    } else if (cp < 0x10000) {
        const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                              static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                              static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[] = {
            static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 4);
    }
}

// Length of the well-formed UTF-8 sequence at p (1 to 4), or minus the length
// of its maximal invalid prefix (at least 1).
int utf8Sequence(const unsigned char* p, const unsigned char* end) {
    const unsigned b0 = p[0];
    if (b0 < 0x80) return 1;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    int trailing;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        trailing = 1;
    } else if (b0 == 0xE0) {
        trailing = 2;
        lo = 0xA0;  // no overlong forms
    } else if (b0 == 0xED) {
        trailing = 2;
        hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xE1 && b0 <= 0xEF) {
        trailing = 2;
    } else if (b0 == 0xF0) {
        trailing = 3;
        lo = 0x90;
    } else if (b0 >= 0xF1 && b0 <= 0xF3) {
        trailing = 3;
    } else if (b0 == 0xF4) {
        trailing = 3;
        hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i <= trailing; ++i) {
        if (p + i == end || p[i] < lo || p[i] > hi) return -i;
        lo = 0x80;
        hi = 0xBF;
    }
    return trailing + 1;
}

bool isValidUtf8(const char* begin, const char* end) {
    auto p = reinterpret_cast<const unsigned char*>(begin);
    const auto e = reinterpret_cast<const unsigned char*>(end);
    while (p != e) {
        const int n = utf8Sequence(p, e);
        if (n < 0) return false;
        p += n;
    }
    return true;
}

// Appends [begin, end), replacing each maximal invalid sequence by U+FFFD.
void appendUtf8(std::string& out, const char* begin, const char* end) {
    auto p = reinterpret_cast<const unsigned char*>(begin);
    const auto e = reinterpret_cast<const unsigned char*>(end);
    auto valid = p;
    while (p != e) {
        const int n = utf8Sequence(p, e);
        if (n > 0) {
            p += n;
            continue;
        }
        out.append(reinterpret_cast<const char*>(valid), static_cast<std::size_t>(p - valid));
        out += "\xEF\xBF\xBD";
        p += -n;
        valid = p;
    }
    out.append(reinterpret_cast<const char*>(valid), static_cast<std::size_t>(p - valid));
}

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
                if (b == '-' || isDigit(b)) {
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

bool TXJsonParser::scanString(std::string_view& text) {
    // Most strings are plain runs: use them straight from the input, so the
    // caller copies them once, with one allocation of the exact size.
    bool nonAscii = false;
    const char* stop = scan::findStop(c_, end_, nonAscii);
    if (*stop == '"' && (!nonAscii || isValidUtf8(c_, stop))) {
        text = std::string_view(c_, static_cast<std::size_t>(stop - c_));
        c_ = stop + 1;
        return true;
    }
    stringBuffer_.clear();
    if (!scanRestOfString(stringBuffer_)) return false;
    text = stringBuffer_;
    return true;
}

bool TXJsonParser::scanRestOfString(std::string& out) {
    for (;;) {
        bool nonAscii = false;
        const char* stop = scan::findStop(c_, end_, nonAscii);
        if (stop != c_) {
            if (nonAscii)
                appendUtf8(out, c_, stop);
            else
                out.append(c_, static_cast<std::size_t>(stop - c_));
            c_ = stop;
        }
        const auto b = static_cast<unsigned char>(*c_);
        if (b == '"') {
            ++c_;
            return true;
        }
        if (b != '\\') {
            addErrorWithCode(5, "Unescaped control character '0x" + scan::hex(b) + "'");
            return false;
        }
        ++c_;
        const auto escape = static_cast<unsigned char>(*c_);
        switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += static_cast<char>(escape);
                ++c_;
                break;
            case 'b':
                out += '\b';
                ++c_;
                break;
            case 'f':
                out += '\f';
                ++c_;
                break;
            case 'n':
                out += '\n';
                ++c_;
                break;
            case 'r':
                out += '\r';
                ++c_;
                break;
            case 't':
                out += '\t';
                ++c_;
                break;
            case 'u':
                ++c_;
                if (!scanUnicodeChar(out)) {
                    addErrorWithCode(6, "Broken unicode character");
                    return false;
                }
                break;
            default:
                // A non-ASCII byte is shown as the byte's own value.
                addErrorWithCode(8, "Illegal escape sequence '0x" + scan::hex(escape) + "'");
                return false;
        }
        if (*c_ == '\0') {
            addErrorWithCode(11, "Unexpected EOF while parsing string");
            return false;
        }
    }
}

bool TXJsonParser::scanUnicodeChar(std::string& out) {
    unsigned high;
    if (!scanHexQuad(high)) {
        addErrorWithCode(6, "Missing hex quad");
        return false;
    }
    unsigned cp = high;
    if (high >= 0xD800 && high <= 0xDBFF) {
        unsigned low;
        if (c_[0] != '\\' || c_[1] != 'u' || (c_ += 2, !scanHexQuad(low))) {
            addErrorWithCode(6, "Missing low character in surrogate pair");
            return false;
        }
        if (low < 0xDC00 || low > 0xDFFF) {
            addErrorWithCode(6, "Invalid low surrogate char");
            return false;
        }
        cp = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    } else if (high >= 0xDC00 && high <= 0xDFFF) {
        addErrorWithCode(6, "Invalid high character in surrogate pair");
        return false;
    }
    appendCodePoint(out, cp);
    return true;
}

// Stops at the first byte that is not a hex digit, so a quad cut short by
// the end of the input never reads past it.
bool TXJsonParser::scanHexQuad(unsigned& value) {
    value = 0;
    for (int i = 0; i < 4; ++i, ++c_) {
        const std::uint8_t digit = kHexDigits.value[static_cast<unsigned char>(*c_)];
        if (digit > 0xF) {
            addErrorWithCode(6, "Missing hex digit in quad");
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

bool TXJsonParser::scanNumber(JsonValue& root) {
    const char* start = c_;
    const bool negative = *c_ == '-';
    if (negative) ++c_;
    // Numbers of up to 19 significant digits (nearly all) are gathered here
    // as they are scanned; longer ones go through Decimal::fromString.
    std::uint64_t mantissa = 0;
    int significant = 0;
    bool exact = true;
    auto take = [&](unsigned char b) {
        if (significant < 19) {
            mantissa = mantissa * 10 + (b - '0');
            if (mantissa != 0) ++significant;
        } else {
            exact = false;
        }
    };
    if (*c_ == '0') {
        ++c_;
        if (isDigit(static_cast<unsigned char>(*c_))) {
            addErrorWithCode(2, "Leading 0 disallowed in number");
            return false;
        }
    } else {
        if (!isDigit(static_cast<unsigned char>(*c_))) {
            addErrorWithCode(2, "No digits after initial minus");
            return false;
        }
        for (; isDigit(static_cast<unsigned char>(*c_)); ++c_)
            take(static_cast<unsigned char>(*c_));
    }
    std::int64_t fractionLength = 0;
    if (*c_ == '.') {
        ++c_;
        if (!isDigit(static_cast<unsigned char>(*c_))) {
            addErrorWithCode(2, "No digits after decimal point");
            return false;
        }
        for (; isDigit(static_cast<unsigned char>(*c_)); ++c_, ++fractionLength)
            take(static_cast<unsigned char>(*c_));
    }
    std::int64_t exponent = 0;
    if (*c_ == 'e' || *c_ == 'E') {
        ++c_;
        bool minus = false;
        if (*c_ == '-' || *c_ == '+') minus = *c_++ == '-';
        if (!isDigit(static_cast<unsigned char>(*c_))) {
            addErrorWithCode(2, "No digits after exponent");
            return false;
        }
        // Beyond this the value is out of range whatever the digits.
        constexpr std::int64_t kCap = 100'000'000'000'000'000;
        for (; isDigit(static_cast<unsigned char>(*c_)); ++c_)
            if (exponent < kCap) exponent = exponent * 10 + (*c_ - '0');
        if (minus) exponent = -exponent;
    }
    const std::optional<Decimal> number =
        exact ? Decimal::fromParts(negative, mantissa, exponent - fractionLength)
              : Decimal::fromString(std::string_view(start, static_cast<std::size_t>(c_ - start)));
    if (!number) {
        addErrorWithCode(2, "Failed creating decimal instance");
        return false;
    }
    slot(root).v_.emplace<Decimal>(*number);
    return true;
}

}  // namespace tx
