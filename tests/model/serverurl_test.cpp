// SPDX-License-Identifier: GPL-3.0-or-later
// The one check every server request address passes: host and port as the
// user typed them, paths as the server handed them out.

#include <gtest/gtest.h>

#include "serverurl.h"

TEST(ServerUrl, OnlyAddressesThatStayOnTheTypedHostAreBuilt) {
    // clang-format off
    struct Case { const char *host, *port, *path, *url; };  // url nullptr: refused
    const Case cases[] = {
        {"127.0.0.1", "1818", "/cameras", "http://127.0.0.1:1818/cameras"},
        {"cam-01.example_site.lan", "80", "/a%5Fb/c?x=1",
         "http://cam-01.example_site.lan:80/a%5Fb/c?x=1"},
        {"[::1]", "8080", "/i", "http://[::1]:8080/i"},
        {"127.0.0.1", "1818", "@other-host:9/x", nullptr},
        {"127.0.0.1", "1818", "//other-host/x", nullptr},
        {"127.0.0.1", "1818", "/x@other-host", nullptr},
        {"127.0.0.1", "1818", "/a\\b", nullptr},
        {"127.0.0.1", "1818", "/a b", nullptr},
        {"127.0.0.1", "1818", "/caf\u00e9", nullptr},
        {"127.0.0.1", "1818", "", nullptr},
        {"127.0.0.1", "1818", "x", nullptr},
        {"127.0.0.1", "", "/x", nullptr},
        {"127.0.0.1", "0", "/x", nullptr},
        {"127.0.0.1", "65536", "/x", nullptr},
        {"127.0.0.1", "+80", "/x", nullptr},
        {"127.0.0.1", "80@evil", "/x", nullptr},
        {"", "80", "/x", nullptr},
        {"user@evil", "80", "/x", nullptr},
        {"evil:81", "80", "/x", nullptr},
        {"-evil", "80", "/x", nullptr},
        {"[::1", "80", "/x", nullptr},
        {"[evil.com]", "80", "/x", nullptr},
    };
    // clang-format on
    for (const auto& c : cases) {
        const auto url = ServerUrl::make(QString::fromUtf8(c.host), QString::fromUtf8(c.port),
                                         QString::fromUtf8(c.path));
        EXPECT_EQ(url.value_or("refused"), c.url ? c.url : "refused") << c.host << c.port << c.path;
    }
    // The query the viewer adds stays a query.
    EXPECT_EQ(ServerUrl::make("h", "1", "/p", "resolution=1x2&quality=60"),
              std::string("http://h:1/p?resolution=1x2&quality=60"));
    EXPECT_EQ(ServerUrl::make("h", "1", "/p", "a#b"), std::nullopt);
}
