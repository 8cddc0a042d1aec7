#include "commandline.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, ReadsOptions) {
    const struct {
        Args args;
        int port;
        std::string user;
        std::string password;
        int delayMs;
        std::string host;
    } cases[] = {
        {{}, 1818, "admin", "", 0, "127.0.0.1"},
        {{"--port", "0"}, 0, "admin", "", 0, "127.0.0.1"},
        {{"--port=65535", "--delay-ms=250"}, 65535, "admin", "", 250, "127.0.0.1"},
        {{"--user", "", "--password", "p=w d"}, 1818, "", "p=w d", 0, "127.0.0.1"},
        {{"--password=a=b", "--host", "::1"}, 1818, "admin", "a=b", 0, "::1"},
        {{"--port", "1", "--port", "2"}, 2, "admin", "", 0, "127.0.0.1"},
    };
    for (const auto& c : cases) {
        const demo::CommandLine line = demo::parseCommandLine(c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(line.error, "");
        EXPECT_FALSE(line.help);
        EXPECT_EQ(line.options.port, c.port);
        EXPECT_EQ(line.options.user, c.user);
        EXPECT_EQ(line.options.password, c.password);
        EXPECT_EQ(line.options.delayMs, c.delayMs);
        EXPECT_EQ(line.options.host, c.host);
    }
}

TEST(CommandLine, RefusesBadArguments) {
    for (const Args& args :
         {Args{"--port"}, Args{"--port", "65536"}, Args{"--port", "-1"}, Args{"--port", "12ab"},
          Args{"--port", ""}, Args{"--delay-ms", "-5"}, Args{"--delay-ms", "3600001"},
          Args{"--host", ""}, Args{"--verbose"}, Args{"1818"}, Args{"--port=x"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        EXPECT_NE(demo::parseCommandLine(args).error, "");
    }
}

TEST(CommandLine, AsksForHelp) {
    EXPECT_TRUE(demo::parseCommandLine({"--help"}).help);
    EXPECT_TRUE(demo::parseCommandLine({"--port", "1", "-h", "--bogus"}).help);
}

}  // namespace
