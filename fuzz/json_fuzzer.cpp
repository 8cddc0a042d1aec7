// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON parser on arbitrary bytes, as a server answer reaches it. Checks
// that object and fragment parsing agree, that every failure leaves a
// well-formed error trace, and that a parsed tree written back (compact and
// indented) parses to an equal tree whose text is the same again.

#include "TXJSON.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

void checkTrace(const tx::TXJsonBase& codec) {
    const auto& trace = codec.errorTrace();
    check(trace && !trace->empty(), "a failure leaves an error trace");
    for (std::size_t i = 0; i < trace->size(); ++i) {
        const tx::JsonErrorPtr& e = (*trace)[i];
        check(e->code >= 1 && e->code <= 12 && !e->message.empty(), "error code and message");
        check(e->underlying == (i == 0 ? nullptr : (*trace)[i - 1]), "underlying error chain");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tx::TXJsonParser parser;
    const std::optional<tx::JsonValue> fragment = parser.fragmentWithString(text);
    if (!fragment) checkTrace(parser);
    const std::optional<tx::JsonValue> object = parser.objectWithString(text);
    if (!object) checkTrace(parser);
    check(object.has_value() == (fragment && (fragment->isArray() || fragment->isObject())),
          "objectWithString accepts exactly the array and object fragments");
    if (!fragment) return 0;
    check(!object || *object == *fragment, "both entry points give the same tree");

    const tx::JsonValue copy = *fragment;
    check(copy == *fragment, "a copy equals its original");

    for (bool pretty : {false, true}) {
        tx::TXJsonWriter writer;
        writer.setHumanReadable(pretty);
        const std::optional<std::string> written = writer.stringWithFragment(*fragment);
        check(written.has_value(), "a parsed tree can be written");
        const std::optional<tx::JsonValue> again = parser.fragmentWithString(*written);
        check(again.has_value(), "written text parses");
        check(*again == *fragment, "parse, write, parse gives an equal tree");
        check(writer.stringWithFragment(*again) == written, "writing is stable");
    }
    return 0;
}
