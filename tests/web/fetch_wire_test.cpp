// The exact bytes the two fetchers put on the wire, recorded by a raw listener.
#include <gtest/gtest.h>

#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using testing::kOkReply;
using testing::RawListener;

constexpr std::string_view kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string Host(const RawListener& listener) {
    return "127.0.0.1:" + std::to_string(listener.port());
}

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

}  // namespace
}  // namespace tollenby
