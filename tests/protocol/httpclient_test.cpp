// The blocking GET over libcurl against a scripted server on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "httpclient.h"
#include "scriptedserver.h"

namespace {

using Kind = ScriptedServer::Reply::Kind;

ScriptedServer::Reply raw(std::string bytes) {
    ScriptedServer::Reply r;
    r.kind = Kind::Raw;
    r.body = std::move(bytes);
    return r;
}

}  // namespace

TEST(HttpClient, BodyWhateverTheStatusAndNothingWithoutAnAnswer) {
    struct Case {
        const char* what;
        ScriptedServer::Reply reply;
        std::optional<std::string> body;
        long status;
    } cases[] = {
        {"200", ScriptedServer::json("[1]"), "[1]", 200},
        {"401 with JSON", ScriptedServer::json("{\"e\":1}", 401), "{\"e\":1}", 401},
        {"500", ScriptedServer::json("oops", 500), "oops", 500},
        {"redirect not followed", ScriptedServer::json("moved", 302), "moved", 302},
        {"empty body", ScriptedServer::json(""), "", 200},
        {"reset", ScriptedServer::of(Kind::Reset), std::nullopt, 0},
        {"not HTTP", raw("garbage\r\n\r\n"), std::nullopt, 0},
        {"closed at once", raw(""), std::nullopt, 0},
        {"stall past the timeout", ScriptedServer::of(Kind::Stall), std::nullopt, 0},
        {"endless body", ScriptedServer::of(Kind::Endless), std::nullopt, 0},
    };
    for (const Case& c : cases) {
        ScriptedServer server([&](const auto&) { return c.reply; });
        HttpClient::Get get;
        get.url = server.base() + "/x";
        get.timeoutMs = 500;
        get.maxBytes = 1 << 20;
        const HttpClient::Result r = HttpClient::get(get);
        if (c.body) {
            ASSERT_TRUE(r.body.has_value()) << c.what << ": " << r.error;
            EXPECT_EQ(r.body->toStdString(), *c.body) << c.what;
        } else {
            EXPECT_FALSE(r.body.has_value()) << c.what;
        }
        EXPECT_EQ(r.status, c.status) << c.what;
    }
}

TEST(HttpClient, RefusedConnectionAndBadUrlGiveNothing) {
    int port;
    {
        ScriptedServer closed([](const auto&) { return ScriptedServer::json("[]"); });
        port = closed.port();
    }
    for (const std::string& url :
         {"http://127.0.0.1:" + std::to_string(port) + "/x",
          std::string("http://127.0.0.1:notaport/x"), std::string("http://127.0.0.1:1/a b"),
          std::string("ftp://127.0.0.1/x")}) {
        HttpClient::Get get;
        get.url = url;
        get.timeoutMs = 2000;
        EXPECT_FALSE(HttpClient::get(get).body.has_value()) << url;
    }
}

TEST(HttpClient, AbortEndsEveryStalledRequestAtOnce) {
    // One token shared by several running requests, as the data manager's
    // workers share one, and a quick request that ends before the abort.
    for (int stalled : {1, 4}) {
        ScriptedServer server([](const ScriptedServer::Request& r) {
            return r.target == "/quick" ? ScriptedServer::json("[]")
                                        : ScriptedServer::of(Kind::Stall);
        });
        AbortToken token;
        std::vector<std::optional<QByteArray>> bodies(stalled, QByteArray("sentinel"));
        std::vector<std::int64_t> endedNs(stalled, 0);
        std::vector<std::thread> workers;
        for (int i = 0; i < stalled; ++i) {
            workers.emplace_back([&, i] {
                HttpClient::Get get;
                get.url = server.base() + "/stall";
                get.timeoutMs = 600000;
                bodies[i] = HttpClient::get(get, &token).body;
                endedNs[i] = std::chrono::steady_clock::now().time_since_epoch().count();
            });
        }
        ASSERT_TRUE(server.waitForRequests(stalled));
        HttpClient::Get quick;
        quick.url = server.base() + "/quick";
        ASSERT_TRUE(HttpClient::get(quick, &token).body.has_value());
        const auto abortedNs = std::chrono::steady_clock::now().time_since_epoch().count();
        token.abort();
        for (auto& w : workers) w.join();  // ten minutes if an abort were lost
        for (int i = 0; i < stalled; ++i) {
            EXPECT_FALSE(bodies[i].has_value()) << i;
            // A woken request ends in microseconds; one left to its own
            // polling waits for libcurl's next timer (about 200 ms).
            EXPECT_LT((endedNs[i] - abortedNs) / 1000000, 150)
                << "request " << i << " of " << stalled;
        }
        // An aborted token refuses later requests at once.
        HttpClient::Get get;
        get.url = server.base() + "/again";
        EXPECT_FALSE(HttpClient::get(get, &token).body.has_value());
        EXPECT_EQ(server.requests().size(), static_cast<size_t>(stalled) + 1);
    }
}
