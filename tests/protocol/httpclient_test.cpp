// SPDX-License-Identifier: GPL-3.0-or-later
// The blocking GET over libcurl against a scripted server on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "httpclient.h"
#include "scriptedserver.h"

using Kind = ScriptedServer::Reply::Kind;

TEST(HttpClient, BodyWhateverTheStatusAndNothingWithoutAnAnswer) {
    // A port where nobody listens any more.
    const std::string refused = ScriptedServer(ScriptedServer::json("[]")).base() + "/x";
    // url, empty: the scripted server's.
    // clang-format off
    struct Case { const char* what; ScriptedServer::Reply reply; std::optional<std::string> body; long status; std::string url = ""; };
    const Case cases[] = {
        {"200", ScriptedServer::json("[1]"), "[1]", 200},
        {"401 with JSON", ScriptedServer::json("{\"e\":1}", 401), "{\"e\":1}", 401},
        {"500", ScriptedServer::json("oops", 500), "oops", 500},
        {"redirect not followed", ScriptedServer::json("moved", 302), "moved", 302},
        {"empty body", ScriptedServer::json(""), "", 200},
        {"reset", ScriptedServer::of(Kind::Reset), std::nullopt, 0},
        {"not HTTP", ScriptedServer::stream("garbage\r\n\r\n", ""), std::nullopt, 0},
        {"closed at once", ScriptedServer::stream("", ""), std::nullopt, 0},
        {"stall past the timeout", ScriptedServer::of(Kind::Stall), std::nullopt, 0},
        // "[" then spaces until stopped.
        {"endless body", ScriptedServer::stream("HTTP/1.1 200 OK\r\n\r\n[", std::string(65536, ' '), 0, ScriptedServer::Reply::After::Repeat), std::nullopt, 0},
        {"length over the cap", ScriptedServer::stream("HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n\r\n[]", ""), std::nullopt, 0},
        {"length within the cap", ScriptedServer::stream("HTTP/1.1 200 OK\r\nContent-length:  2\r\n\r\n", "[]"), "[]", 200},
        {"connection refused", ScriptedServer::json("[]"), std::nullopt, 0, refused},
        {"port not a number", ScriptedServer::json("[]"), std::nullopt, 0, "http://127.0.0.1:notaport/x"},
        {"space in the path", ScriptedServer::json("[]"), std::nullopt, 0, "http://127.0.0.1:1/a b"},
        {"not HTTP at all", ScriptedServer::json("[]"), std::nullopt, 0, "ftp://127.0.0.1/x"},
    };
    // clang-format on
    for (const Case& c : cases) {
        ScriptedServer server(c.reply);
        const HttpClient::Result r =
            HttpClient::get({c.url.empty() ? server.base() + "/x" : c.url, {}, 500, 1 << 20});
        EXPECT_EQ(r.body ? std::optional(r.body->toStdString()) : std::nullopt, c.body)
            << c.what << ": " << r.error;
        EXPECT_EQ(r.status, c.status) << c.what;
    }
}

TEST(HttpClient, AbortEndsEveryStalledRequestAtOnce) {
    // One token shared by four running requests, as the data manager's
    // workers share one, and a quick request that ends before the abort.
    const int stalled = 4;
    ScriptedServer server([](const ScriptedServer::Request& r) {
        return r.target == "/quick" ? ScriptedServer::json("[]") : ScriptedServer::of(Kind::Stall);
    });
    AbortToken token;
    std::vector<std::optional<QByteArray>> bodies(stalled, QByteArray("sentinel"));
    std::vector<std::int64_t> endedNs(stalled, 0);
    std::vector<std::thread> workers;
    for (int i = 0; i < stalled; ++i) {
        workers.emplace_back([&, i] {
            bodies[i] = HttpClient::get({server.base() + "/stall", {}, 600000}, &token).body;
            endedNs[i] = std::chrono::steady_clock::now().time_since_epoch().count();
        });
    }
    ASSERT_TRUE(server.waitForRequests(stalled));
    ASSERT_TRUE(HttpClient::get({server.base() + "/quick", {}}, &token).body.has_value());
    const auto abortedNs = std::chrono::steady_clock::now().time_since_epoch().count();
    token.abort();
    for (auto& w : workers) w.join();  // ten minutes if an abort were lost
    for (int i = 0; i < stalled; ++i) {
        EXPECT_FALSE(bodies[i].has_value()) << i;
        // A woken request ends in microseconds; one left to its own
        // polling waits for libcurl's next timer (about 200 ms).
        EXPECT_LT((endedNs[i] - abortedNs) / 1000000, 150) << "request " << i << " of " << stalled;
    }
    // An aborted token refuses later requests at once.
    EXPECT_FALSE(HttpClient::get({server.base() + "/again", {}}, &token).body.has_value());
    EXPECT_EQ(server.requests().size(), static_cast<size_t>(stalled) + 1);
}
