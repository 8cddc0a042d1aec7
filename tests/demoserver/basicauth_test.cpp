#include "basicauth.h"

#include <gtest/gtest.h>

namespace {

TEST(BasicAuth, MatchesSchemeAndCredentials) {
    const struct {
        const char* header;
        bool match;
    } cases[] = {
        {"Basic YWRtaW46c2VjcmV0", true},
        {"BASIC YWRtaW46c2VjcmV0", true},
        {"Basic   YWRtaW46c2VjcmV0  ", true},
        {"Basic YWRtaW46c2VjcmV0\n", false},
        {"Basic YWRtaW46c2VjcmV", false},
        {"Basic YWRtaW46c2VjcmV0ZXh0cmE=", false},  // admin:secretextra
        {"Basic YWRtaW46", false},                  // admin:
        {"Basic YWRtaW4=", false},                  // admin
        {"Basic", false},
        {"Basic ", false},
        {"Basi YWRtaW46c2VjcmV0", false},
        {"YWRtaW46c2VjcmV0", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(demo::basicCredentialsMatch(c.header, "admin", "secret"), c.match);
    }
    EXPECT_TRUE(demo::basicCredentialsMatch("Basic YWRtaW46", "admin", ""));
    EXPECT_TRUE(demo::basicCredentialsMatch("Basic Og==", "", ""));
}

}  // namespace
