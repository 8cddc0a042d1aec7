// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonWriter.h"

#include "TXJsonScan.h"

namespace tx {

std::optional<std::string> TXJsonWriter::stringWithFragment(const JsonValue& value) {
    clearErrorTrace();
    depth_ = 0;
    std::string out;
    if (!appendValue(value, out)) return std::nullopt;
    return out;
}

std::optional<std::string> TXJsonWriter::stringWithObject(const JsonValue& value) {
    if (!value.isArray() && !value.isObject()) {
        clearErrorTrace();
        addErrorWithCode(4, "Not valid type for JSON");
        return std::nullopt;
    }
    return stringWithFragment(value);
}

std::string TXJsonWriter::indent() const {
    std::string out;
    appendIndent(out);
    return out;
}

void TXJsonWriter::appendIndent(std::string& out) const {
    out += '\n';
    out.append(static_cast<std::size_t>(depth_) * 2, ' ');
}

void TXJsonWriter::appendString(std::string_view value, std::string& out) {
    out += '"';
    const char* p = value.data();
    const char* const end = p + value.size();
    for (;;) {
        bool nonAscii = false;
        const char* stop = scan::findStop(p, end, nonAscii);
        out.append(p, static_cast<std::size_t>(stop - p));
        if (stop == end) break;
        const auto b = static_cast<unsigned char>(*stop);
        switch (b) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0xF]};
                out.append(escape, sizeof escape);
                break;
            }
        }
        p = stop + 1;
    }
    out += '"';
}

bool TXJsonWriter::appendValue(const JsonValue& root, std::string& out) {
    const std::uint64_t limit = maxDepth();
    stack_.clear();
    const JsonValue* value = &root;
    for (;;) {
        switch (value->type()) {
            case JsonValue::Type::Null:
                out += "null";
                break;
            case JsonValue::Type::Bool:
                out += value->asBool() ? "true" : "false";
                break;
            case JsonValue::Type::Number:
                out += value->asNumber().toString();
                break;
            case JsonValue::Type::String:
                appendString(value->asString(), out);
                break;
            case JsonValue::Type::Array:
            case JsonValue::Type::Object: {
                ++depth_;
                if (limit != 0 && depth_ > limit) {
                    addErrorWithCode(7, "Nested too deep");
                    // Every enclosing object names the member that failed.
                    for (std::size_t n = stack_.size(); n-- != 0;) {
                        if (stack_[n].key)
                            addErrorWithCode(
                                1, "Unsupported value for key " + *stack_[n].key + " in object");
                    }
                    stack_.clear();
                    return false;
                }
                const bool isObject = value->isObject();
                out += isObject ? '{' : '[';
                stack_.push_back(Frame{
                    value, 0, isObject ? value->asObject().begin() : JsonObject::const_iterator(),
                    nullptr});
                break;
            }
        }

        // Go on with the innermost open container until it has a next value.
        value = nullptr;
        while (!value) {
            if (stack_.empty()) return true;
            Frame& frame = stack_.back();
            if (frame.container->isArray()) {
                const JsonArray& array = frame.container->asArray();
                if (frame.index < array.size()) {
                    if (frame.index != 0) out += ',';
                    if (humanReadable_) appendIndent(out);
                    value = &array[frame.index++];
                    continue;
                }
                --depth_;
                if (humanReadable_ && !array.empty()) appendIndent(out);
                out += ']';
            } else {
                const JsonObject& object = frame.container->asObject();
                if (frame.member != object.end()) {
                    if (frame.member != object.begin()) out += ',';
                    if (humanReadable_) appendIndent(out);
                    appendString(frame.member->first, out);
                    out += humanReadable_ ? " : " : ":";
                    frame.key = &frame.member->first;
                    value = &frame.member->second;
                    ++frame.member;
                    continue;
                }
                --depth_;
                if (humanReadable_ && !object.empty()) appendIndent(out);
                out += '}';
            }
            stack_.pop_back();
        }
    }
}

}  // namespace tx
