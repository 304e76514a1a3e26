// The fetchers against ordinary routes: statuses, redirects, methods, the body cap and the cookie jar.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/web/fetch_routes.h"
#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using testing::FetchRoutes;
using testing::QuickLimits;

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

}  // namespace
}  // namespace tollenby
