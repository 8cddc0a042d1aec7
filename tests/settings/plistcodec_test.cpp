// SPDX-License-Identifier: GPL-3.0-or-later
// Reading property lists that the store's own writer would never make.

#include "plistcodec.h"

#include <gtest/gtest.h>

namespace {

// Binary lists whose strings or keys hold a NUL (non-ASCII strings are
// UTF-16 there, so U+0000 is just another character). libplist's copying
// getters stop the whole process on them; found by fuzzing the settings
// file. They must read as a dictionary that a save and a reload keep.
TEST(PlistCodecTest, BinaryListsWithANulInAStringOrKey) {
    // clang-format off
    struct Case { const char* what; QByteArray bytes; QVariantMap expected; };
    const Case cases[] = {
        {"{\"lang\": \"Eng\\0lish\\u00e9\"}",
         QByteArray("bplist00\xd1\x01\x02\x54lang\x69\0E\0n\0g\0\0\0l\0i\0s\0h\0\xe9\x08\x0b\x10\0\0\0"
                    "\0\0\0\x01\x01\0\0\0\0\0\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x23", 70),
         {{"lang", "Eng"}}},
        {"{\"lang\": \"x\", \"k\\0\\u00e9\": \"y\"}",
         QByteArray("bplist00\xd2\x01\x02\x03\x04\x63\0k\0\0\0\xe9\x54lang\x51y\x51x\x08\x0d\x14\x19\x1b"
                    "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x1d", 66),
         {{"lang", "x"}, {"k", "y"}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(PlistCodec::readDictionary(c.bytes), c.expected) << c.what;
        EXPECT_EQ(PlistCodec::readDictionary(PlistCodec::writeXml(c.expected)), c.expected)
            << c.what;
    }
}

}  // namespace
