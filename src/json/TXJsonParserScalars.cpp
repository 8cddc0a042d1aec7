// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonParser.h"

#include "TXJsonScan.h"

// The parser's scanners of strings (escapes, and invalid UTF-8 replaced) and
// numbers; the structure of arrays and objects is in TXJsonParser.cpp.

namespace tx {

using scan::isDigit;

namespace {

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
}  // namespace

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
