#include <gtest/gtest.h>

#include <thread>

#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using testing::HttpServer;
using testing::MillisecondsOf;
using testing::RawListener;

constexpr std::string_view kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::string kOkReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

// Short limits for the tests that wait on purpose.
FetchControl QuickLimits(std::chrono::milliseconds stall = std::chrono::milliseconds(300)) {
    FetchControl control;
    control.limits =
        FetchLimits{std::chrono::milliseconds(2000), stall, std::chrono::milliseconds(10000), 1u << 20};
    return control;
}

std::string Host(const RawListener& listener) {
    return "127.0.0.1:" + std::to_string(listener.port());
}

// ---- The exact bytes on the wire ----

TEST(FetchWire, AddressAloneFetchPage) {
    RawListener listener(kOkReply);
    std::string url = listener.Url("/wire/a?x=1");
    EXPECT_EQ(FetchPage(url), "ok");
    ASSERT_EQ(listener.Requests().size(), 1u);
    EXPECT_EQ(listener.Requests()[0], "GET /wire/a?x=1 HTTP/1.1\r\nHost: " + Host(listener) +
                                          "\r\nUser-Agent: " + std::string(kAgent) +
                                          "\r\nAccept: */*\r\nReferer: " + url +
                                          "\r\nAccept-Language: zh-cn\r\n"
                                          "Content-Type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST(FetchWire, AddressAloneRequestObject) {
    RawListener listener(kOkReply);
    std::string url = listener.Url("/wire/b");
    EXPECT_EQ(FetchPageByRequestObject(url), "ok");
    ASSERT_EQ(listener.Requests().size(), 1u);
    EXPECT_EQ(listener.Requests()[0], "GET /wire/b HTTP/1.1\r\nHost: " + Host(listener) +
                                          "\r\nAccept: */*\r\nReferer: " + url +
                                          "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + std::string(kAgent) +
                                          "\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST(FetchWire, CallerLinesAndCookieText) {
    RawListener listener(kOkReply);
    std::string url = listener.Url("/wire/c");
    const std::string defaults = "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\n";

    Text cookies = "k=v";
    Text headers = "X-A: 1";
    FetchPageByRequestObject(url, 0, {}, &cookies, nullptr, &headers);
    EXPECT_EQ(headers, "X-A: 1\r\n" + defaults + "User-Agent: " + std::string(kAgent) +
                           "\r\nContent-Type: application/x-www-form-urlencoded");

    // FetchPage: the caller's agent line names the agent and is the only one sent; the cookie text is
    // the one Cookie line, and the composed text shows it last.
    Text pageCookies = "k=v";
    Text pageHeaders = "X-A: 1\r\nuser-agent: Agent X";
    FetchPage(url, 0, {}, &pageCookies, nullptr, &pageHeaders);
    EXPECT_EQ(pageHeaders, "X-A: 1\r\nuser-agent: Agent X\r\n" + defaults +
                               "Content-Type: application/x-www-form-urlencoded\r\nCookie: k=v");

    auto requests = listener.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /wire/c HTTP/1.1\r\nHost: " + Host(listener) +
                               "\r\nCookie: k=v\r\nX-A: 1\r\n" + defaults +
                               "User-Agent: " + std::string(kAgent) +
                               "\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n");
    EXPECT_EQ(requests[1], "GET /wire/c HTTP/1.1\r\nHost: " + Host(listener) +
                               "\r\nCookie: k=v\r\nX-A: 1\r\nuser-agent: Agent X\r\n" + defaults +
                               "Content-Type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST(FetchWire, SetCookieInAnyLetterCase) {
    RawListener listener(
        "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/wire\r\nSET-COOKIE: b=2\r\nContent-Length: 0\r\n"
        "Connection: close\r\n\r\n");
    const std::string expectedBlock =
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/wire\r\nSet-Cookie: b=2\r\nContent-Length: 0\r\n"
        "Connection: close\r\n\r\n";

    Text newCookies, responseHeaders;
    FetchPage(listener.Url("/wire/d"), 0, {}, nullptr, &newCookies, nullptr, &responseHeaders);
    EXPECT_EQ(responseHeaders, expectedBlock);
    EXPECT_EQ(newCookies, "a=1; b=2");

    Text cookies = "b=0; c=3";
    int status = -1;
    FetchPageByRequestObject(listener.Url("/wire/d"), 0, {}, &cookies, &newCookies, nullptr, &responseHeaders,
                             &status);
    EXPECT_EQ(responseHeaders, expectedBlock);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(newCookies, "a=1;b=2");
    EXPECT_EQ(cookies, "a=1; b=2; c=3");
}

TEST(FetchWire, ProxyAndAddressBytes) {
    // The listener plays the proxy: the request line then carries the whole address.
    RawListener proxy(kOkReply);
    EXPECT_EQ(FetchPage("http://site.test/p", 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                        Host(proxy)),
              "ok");
    EXPECT_EQ(FetchPageByRequestObject("http://site.test/q", 0, {}, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, false, {}, Host(proxy), 0, "user", "secret"),
              "ok");
    // Bytes that cannot stand in a request line go out percent-encoded: a GBK character and a space.
    RawListener direct(kOkReply);
    FetchPage(direct.Url("/\xD6\xD0 x?k=%41"));

    auto viaProxy = proxy.Requests();
    ASSERT_EQ(viaProxy.size(), 2u);
    EXPECT_TRUE(viaProxy[0].starts_with("GET http://site.test/p HTTP/1.1\r\nHost: site.test\r\n"))
        << viaProxy[0];
    EXPECT_TRUE(viaProxy[1].starts_with("GET http://site.test/q HTTP/1.1\r\nHost: site.test\r\n"))
        << viaProxy[1];
    ASSERT_EQ(direct.Requests().size(), 1u);
    EXPECT_TRUE(direct.Requests()[0].starts_with("GET /%D6%D0%20x?k=%41 HTTP/1.1\r\n"))
        << direct.Requests()[0];
}

TEST(FetchWire, HeaderBlockCap) {
    std::string reply = "HTTP/1.1 200 OK\r\n";
    std::string line = "X-Filler: " + std::string(50'000, 'f') + "\r\n";
    while (reply.size() < kMaxHeaderBytes + line.size()) reply += line;
    reply += "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    RawListener listener(reply);
    Text block = "untouched";
    EXPECT_EQ(FetchPage(listener.Url("/h"), 0, {}, nullptr, nullptr, nullptr, &block), "");
    EXPECT_EQ(block, "");
}

TEST(FetchWire, MethodsAndBodies) {
    RawListener listener(kOkReply);
    ByteString postBytes;
    FetchPage(listener.Url("/m"), 1, "a=1", nullptr, nullptr, nullptr, nullptr, false, &postBytes);
    EXPECT_EQ(postBytes, "a=1");
    FetchPageByRequestObject(listener.Url("/m"), 1, "ignored", nullptr, nullptr, nullptr, nullptr, nullptr,
                             false, "b=2");
    FetchPageByRequestObject(listener.Url("/m"), 7);
    FetchPage(listener.Url("/m"), 7, "not sent");

    auto requests = listener.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[0].starts_with("POST /m HTTP/1.1\r\n")) << requests[0];
    EXPECT_NE(requests[0].find("\r\nContent-Length: 3\r\n"), std::string::npos);
    EXPECT_NE(requests[0].find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_TRUE(requests[0].ends_with("\r\n\r\na=1"));
    EXPECT_TRUE(requests[1].starts_with("POST /m HTTP/1.1\r\n"));
    EXPECT_TRUE(requests[1].ends_with("\r\n\r\nb=2"));
    EXPECT_TRUE(requests[2].starts_with("GET /m HTTP/1.1\r\n"));
    EXPECT_TRUE(requests[3].starts_with("GET /m HTTP/1.1\r\n"));
    EXPECT_TRUE(requests[3].ends_with("\r\n\r\n"));
}

// ---- Ordinary routes ----

class FetchRoutes : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& s = http_.server();
        s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such page", "text/plain");
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/target");
            res.set_content("moved body", "text/plain");
        });
        s.Get("/target", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Final", "yes");
            res.set_content("target body", "text/plain");
        });
        s.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/loop");
        });
        s.Get("/bytes/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "application/octet-stream");
        });
        s.Get("/chunked/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
            std::size_t total = std::stoul(req.matches[1]);
            res.set_chunked_content_provider(
                "application/octet-stream", [total](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    std::string piece(std::min<std::size_t>(500, total - offset), 'y');
                    return sink.write(piece.data(), piece.size());
                });
        });
        s.Get("/jar/set/(\\w+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Set-Cookie", std::string(req.matches[1]) + "=1; Path=/jar");
            res.set_content("set", "text/plain");
        });
        s.Get("/jar/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Cookie"), "text/plain");
        });
        s.Get("/jar/setecho/(\\w+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Set-Cookie", std::string(req.matches[1]) + "=2; Path=/jar");
            res.set_content(req.get_header_value("Cookie"), "text/plain");
        });
        s.Get("/peer", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::to_string(req.remote_port), "text/plain");  // tells connections apart
        });
        s.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Content-Type") + "|" + req.body, "text/plain");
        });
        s.Get("/head", [](const httplib::Request&, httplib::Response& res) {  // answers HEAD too
            res.set_header("X-Head", "1");
            res.set_content("not for HEAD", "text/plain");
        });
        // Connections are closed after each answer unless a test keeps them on purpose: a kept
        // connection holds the server's shutdown for its keep-alive time.
        if (!KeepConnections()) s.set_keep_alive_max_count(1);
        http_.Start();
    }

    virtual bool KeepConnections() const { return false; }

    std::string Url(const std::string& path) const { return http_.Url(path); }

    HttpServer http_;
};

TEST_F(FetchRoutes, ErrorStatusIsNoFailure) {
    int pageStatus = 0;
    EXPECT_EQ(FetchPage(Url("/missing"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                        {.statusCode = &pageStatus}),
              "no such page");
    EXPECT_EQ(pageStatus, 404);
    int status = 0;
    EXPECT_EQ(FetchPageByRequestObject(Url("/missing"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status),
              "no such page");
    EXPECT_EQ(status, 404);
}

TEST_F(FetchRoutes, RedirectsFollowedOrNot) {
    struct Case {
        bool noRedirect;
        std::string body;
        int status;
        std::string blockStart;
    } cases[] = {
        {false, "target body", 200, "HTTP/1.1 200 OK\r\n"},
        {true, "moved body", 302, "HTTP/1.1 302 Found\r\n"},
    };
    for (const Case& c : cases) {
        Text block;
        int status = 0;
        EXPECT_EQ(FetchPage(Url("/moved"), 0, {}, nullptr, nullptr, nullptr, &block, c.noRedirect, nullptr,
                            {}, {.statusCode = &status}),
                  c.body);
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(block.starts_with(c.blockStart)) << block;  // the final response's block only
        EXPECT_EQ(block.find("HTTP/1.1", 1), std::string::npos) << block;

        EXPECT_EQ(FetchPageByRequestObject(Url("/moved"), 0, {}, nullptr, nullptr, nullptr, &block, &status,
                                           c.noRedirect),
                  c.body);
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(block.starts_with(c.blockStart)) << block;
    }
    // An endless chain ends at the redirect limit, as a failure.
    int status = -1;
    EXPECT_EQ(FetchPageByRequestObject(Url("/loop"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status), "");
    EXPECT_EQ(status, 0);
}

TEST_F(FetchRoutes, PostAndHead) {
    ByteString postBytes;
    EXPECT_EQ(FetchPage(Url("/echo"), 1, "a=1", nullptr, nullptr, nullptr, nullptr, false, &postBytes),
              "application/x-www-form-urlencoded|a=1");
    EXPECT_EQ(postBytes, "a=1");
    postBytes = "kept";
    EXPECT_EQ(FetchPage(Url("/echo"), 1, "a=1", nullptr, nullptr, nullptr, nullptr, false, &postBytes),
              "application/x-www-form-urlencoded|kept");
    EXPECT_EQ(postBytes, "kept");

    Text block;
    int status = 0;
    EXPECT_EQ(FetchPageByRequestObject(Url("/head"), 2, {}, nullptr, nullptr, nullptr, &block, &status), "");
    EXPECT_EQ(status, 200);
    EXPECT_NE(block.find("X-Head: 1"), std::string::npos);
}

TEST_F(FetchRoutes, BodyCap) {
    FetchControl control = QuickLimits();
    control.limits->maxBodyBytes = 1000;
    int status = -1;
    control.statusCode = &status;
    auto fetch = [&](const std::string& path) {
        return FetchPage(Url(path), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {}, control);
    };
    EXPECT_EQ(fetch("/bytes/1000").size(), 1000u);
    EXPECT_EQ(fetch("/chunked/1000").size(), 1000u);
    EXPECT_EQ(fetch("/bytes/1001"), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fetch("/chunked/5000"), "");  // no length announced: the write callback stops it
    Text block = "untouched";
    EXPECT_EQ(FetchPageByRequestObject(Url("/chunked/5000"), 0, {}, nullptr, nullptr, nullptr, &block,
                                       nullptr, false, {}, {}, 0, {}, {}, 1, nullptr, control),
              "");
    EXPECT_EQ(block, "");
}

// ---- The cookie jar ----

TEST_F(FetchRoutes, JarCarriesCookiesAcrossFetchPageCalls) {
    EXPECT_EQ(FetchPage(Url("/jar/set/carried")), "set");
    EXPECT_EQ(FetchPage(Url("/jar/echo")), "carried=1");

    // A cookie text of the caller's bypasses the jar, both ways.
    Text cookies = "mine=7";
    EXPECT_EQ(FetchPage(Url("/jar/setecho/bypassed"), 0, {}, &cookies), "mine=7");
    EXPECT_EQ(cookies, "bypassed=2; mine=7");
    Text empty;
    Text newCookies;
    EXPECT_EQ(FetchPage(Url("/jar/setecho/fresh"), 0, {}, &empty, &newCookies), "");
    EXPECT_EQ(empty, "fresh=2");
    EXPECT_EQ(newCookies, "fresh=2");
    EXPECT_EQ(FetchPage(Url("/jar/echo")), "carried=1");

    // The request object keeps no jar at all.
    EXPECT_EQ(FetchPageByRequestObject(Url("/jar/echo")), "");
}

TEST_F(FetchRoutes, ManyThreadsThroughTheSharedJar) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 10;
    std::vector<std::thread> threads;
    std::vector<int> seen(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::string name = "thread" + std::to_string(t);
            for (int round = 0; round < kRounds; ++round) {
                FetchPage(Url("/jar/set/" + name));
                if (FetchPage(Url("/jar/echo")).find(name + "=1") != std::string::npos) ++seen[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t], kRounds) << "thread " << t;
}

// Kept connections: the session is destroyed before the server, so shutdown does not wait for it.
class KeptConnections : public FetchRoutes {
  protected:
    bool KeepConnections() const override { return true; }

    ByteString Page(const std::string& path, Text* cookies = nullptr, bool noRedirect = false) {
        FetchControl control;
        control.session = &session_;
        return FetchPage(Url(path), 0, {}, cookies, nullptr, nullptr, nullptr, noRedirect, nullptr, {},
                         control);
    }

    HttpSession session_;
};

TEST_F(KeptConnections, ReusedSessionKeepsNoOptionsOrCookiesBetweenCalls) {
    ASSERT_TRUE(session_.Valid());
    ByteString peer = Page("/peer");
    EXPECT_EQ(Page("/peer"), peer);  // the same connection
    EXPECT_EQ(Page("/jar/set/sessioned"), "set");
    Text mine = "only=1";
    EXPECT_EQ(Page("/jar/echo", &mine), "only=1");  // bypass on a handle that used the jar before
    EXPECT_NE(Page("/jar/echo").find("sessioned=1"), std::string::npos);
    EXPECT_EQ(Page("/moved", nullptr, true), "moved body");
    EXPECT_EQ(Page("/moved"), "target body");

    int status = 0;
    EXPECT_EQ(FetchPageByRequestObject(Url("/jar/echo"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status,
                                       false, {}, {}, 0, {}, {}, 1, &session_),
              "");
    EXPECT_EQ(status, 200);
}

TEST_F(KeptConnections, EachThreadKeepsItsOwnConnection) {
    auto twoPeers = [this] {
        std::pair<ByteString, ByteString> peers;
        std::thread([&] {
            peers.first = FetchPage(Url("/peer"));
            peers.second = FetchPage(Url("/peer"));
        }).join();  // the thread's session, and its connection, end with the thread
        return peers;
    };
    auto [first, second] = twoPeers();
    auto [other, unused] = twoPeers();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

// ---- Failures, time-outs and cancellation ----

TEST(FetchFailures, SilentServerEndsAtTheStallLimit) {
    RawListener silent("", true);
    int status = -1;
    FetchControl control = QuickLimits();
    control.statusCode = &status;
    Text block = "untouched";
    long long ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPage(silent.Url("/s"), 0, {}, nullptr, nullptr, nullptr, &block, false, nullptr, {},
                            control),
                  "");
    });
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(block, "");

    // timeoutSeconds 1 bounds the wait for the answer to one second.
    ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPageByRequestObject(silent.Url("/s"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                           &status, false, {}, {}, 1),
                  "");
    });
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(status, 0);
}

TEST(FetchFailures, RefusedConnectionIsQuickAndEmpty) {
    std::string url = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/x";
    Text headers, cookies = "a=1 ; b=deleted";
    long long ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPage(url), "");
        EXPECT_EQ(FetchPageByRequestObject(url, 0, {}, &cookies, nullptr, &headers), "");
    });
    EXPECT_LT(ms, 5000);
    // The outputs still follow the described steps: composed headers, cookies merged.
    EXPECT_TRUE(headers.starts_with("Accept: */*\r\nReferer: " + url));
    EXPECT_EQ(cookies, "a=1");
}

TEST(FetchFailures, RequestObjectTimeoutMapping) {
    struct Case {
        int timeoutSeconds;
        long long connectMs, stallMs;
    } cases[] = {{0, 15000, 15000}, {-5, 15000, 15000}, {5, 5000, 5000}, {-1, 60000, 30000}};
    for (const Case& c : cases) {
        FetchLimits limits = RequestObjectLimits(c.timeoutSeconds);
        EXPECT_EQ(limits.connect.count(), c.connectMs) << c.timeoutSeconds;
        EXPECT_EQ(limits.stall.count(), c.stallMs) << c.timeoutSeconds;
        EXPECT_GE(limits.total, limits.connect + limits.stall);
    }
}

TEST(FetchFailures, CancelMidTransfer) {
    // Headers and the first bytes of a long body, then silence.
    RawListener trickle("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nfirst bytes", true);
    for (bool requestObject : {false, true}) {
        std::stop_source token;
        std::thread canceller([token] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            token.request_stop();
        });
        FetchControl control;  // the default 30 s stall limit: only the token can end this soon
        control.stop = token.get_token();
        ByteString body = "unset";
        long long ms = MillisecondsOf([&] {
            body = requestObject ? FetchPageByRequestObject(trickle.Url("/c"), 0, {}, nullptr, nullptr,
                                                            nullptr, nullptr, nullptr, false, {}, {}, 0, {},
                                                            {}, 1, nullptr, control)
                                 : FetchPage(trickle.Url("/c"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                             false, nullptr, {}, control);
        });
        canceller.join();
        EXPECT_EQ(body, "");
        EXPECT_GE(ms, 250);
        EXPECT_LT(ms, 300 + 1000);  // abandoned promptly, far from any time-out
    }
    // A token set beforehand stops the call before anything goes out.
    RawListener listener(kOkReply);
    FetchControl control;
    std::stop_source early;
    early.request_stop();
    control.stop = early.get_token();
    EXPECT_EQ(FetchPage(listener.Url("/never"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                        control),
              "");
    EXPECT_TRUE(listener.Requests().empty());
}

}  // namespace
}  // namespace tollenby
