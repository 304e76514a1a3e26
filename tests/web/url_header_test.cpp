#include "web/url_header.h"

#include <gtest/gtest.h>

namespace tollenby {
namespace {

// 中 = D6 D0; B0 5B is one GBK character whose second byte reads "[".
constexpr std::string_view kZhong = "\xD6\xD0";

TEST(TextBetween, Cases) {
    struct Case {
        std::string_view text, left, right;
        long start;
        bool ignoreCase;
        std::string_view expected;
    } cases[] = {
        {"a[b]c[d]", "[", "]", 0, false, "b"},  // the first pair counts
        {"a[b", "[", "]", 0, false, ""},        // no right marker
        {"a]b[c", "[", "]", 0, false, ""},      // right marker only before the left one
        {"x[]y", "[", "]", 0, false, ""},       // adjacent markers
        {"no markers", "[", "]", 0, false, ""},
        {"a[b]c[d]", "[", "]", 4, false, "d"},   // start position counts from 1
        {"a[b]c[d]", "[", "]", 2, false, "b"},   // the left marker at the start position counts
        {"a[b]c[d]", "[", "]", -3, false, "b"},  // below 1: the first byte
        {"<A HREF=x>", "href=", ">", 0, false, ""},
        {"<A HREF=x>", "href=", ">", 0, true, "x"},
        {"\xB0[x]y[z]", "[", "]", 0, false, "z"},  // "[" as a second byte never matches
        {"<b>\xD6\xD0</b>", "<b>", "</b>", 0, false, kZhong},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected)
            << c.text << " " << c.left << " " << c.right << " " << c.start;
    }
}

TEST(TextBetween, QuoteMarkerStandsForADoubleQuote) {
    Text left = Text("<img src=") + Text(kQuoteMarker);
    EXPECT_EQ(TextBetween("<p><img src=\"http://i.test/q.gif\" alt=x>", left, kQuoteMarker),
              "http://i.test/q.gif");
    // Several markers in one marker text, and the marker itself never matches literally.
    EXPECT_EQ(TextBetween("a=\"\"v\"\"", Text(kQuoteMarker) + Text(kQuoteMarker), kQuoteMarker), "v");
    EXPECT_EQ(TextBetween(Text("x") + Text(kQuoteMarker) + "y\"", kQuoteMarker, "\""), "");
}

TEST(HeaderLine, SplitsAtTheFirstColonOnly) {
    struct Case {
        std::string_view line, name, value;
    } cases[] = {
        {"Referer: http://h.test:81/a?b=c:d", "Referer", "http://h.test:81/a?b=c:d"},
        {"X-Two:   two  words   ", "X-Two", "two  words"},
        {"  Spaced Name  :v", "Spaced Name", "v"},
        {"X-Full:\xA1\xA1v\xA1\xA1", "X-Full", "v"},  // full-width spaces are trimmed too
        {"X-Tab:\tv", "X-Tab", "\tv"},                // tabs are not
        {"no colon here", "", ""},
        {"Empty:", "Empty", ""},
        {":only value", "", "only value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeaderName(c.line), c.name) << c.line;
        EXPECT_EQ(HeaderValue(c.line), c.value) << c.line;
    }
}

TEST(UrlParts, HostPortAndPath) {
    struct Case {
        std::string_view url, host, hostWithPort;
        int port;
        std::string_view path;
    } cases[] = {
        {"HTTP://Host:8080/A/b?x=1", "host", "host:8080", 8080, "/A/b?x=1"},
        {"https://Host", "host", "host", 443, "/"},
        {"HTTPS://Host/", "host", "host", 443, "/"},
        {"Host/x", "host", "host", 80, "/x"},
        {"Sub.Host/a", "sub.host", "sub.host", 80, "/a"},
        {"http://Host:81", "host", "host:81", 81, "/"},
        {"http://h.test/p?q=1#f", "h.test", "h.test", 80, "/p?q=1#f"},
        {"https://h.test:8443/x", "h.test", "h.test:8443", 8443, "/x"},
        {"http://h.test:abc/x", "h.test", "h.test:abc", 0, "/x"},
        {"ftp://h.test/x", "ftp", "ftp:", 80, "//h.test/x"},  // another scheme is read as a host
        {"http://h.test:/x", "h.test", "h.test:", 80, "/x"},  // an empty port is the default one
        {"http://tp/x", "tp", "tp", 80, "/x"},                // a host that also spells part of the scheme
        {"http://http/y", "http", "http", 80, "/y"},
        {"", "", "", 80, "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
        EXPECT_EQ(UrlHost(c.url, true), c.hostWithPort) << c.url;
        EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
        EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
    }
}

TEST(UrlParts, PortFollowsTheSchemeLetters) {
    EXPECT_EQ(UrlPort("https://h.test/"), 443);
    EXPECT_EQ(UrlPort("HTTPS://h.test/"), 443);
    EXPECT_EQ(UrlPort("http://h.test/"), 80);
    EXPECT_EQ(UrlPort("gopher://h.test/"), 80);
}

TEST(RequestHeaders, DefaultsForAnAddressAlone) {
    const std::string_view url = "http://h.test/a?b=1";
    EXPECT_EQ(ComposeFetchPageHeaders("", url, ""),
              "Accept: */*\r\nReferer: http://h.test/a?b=1\r\nAccept-Language: zh-cn\r\n"
              "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(ComposeRequestObjectHeaders("", url),
              "Accept: */*\r\nReferer: http://h.test/a?b=1\r\nAccept-Language: zh-cn\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
              "Content-Type: application/x-www-form-urlencoded");
}

TEST(RequestHeaders, CallerLinesAndLetterCase) {
    const std::string_view url = "http://h.test/";
    struct Case {
        std::string_view caller;
        std::string_view cookies;
        std::string_view fetchPage, requestObject;
    } cases[] = {
        {"X-A: 1", "",
         "X-A: 1\r\nAccept: */*\r\nReferer: http://h.test/\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded",
         "X-A: 1\r\nAccept: */*\r\nReferer: http://h.test/\r\nAccept-Language: zh-cn\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        // The caller's own Referer stays the only one; a lower-case accept line does not count.
        {"Referer: http://r.test/\r\naccept: text/html", "",
         "Referer: http://r.test/\r\naccept: text/html\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded",
         "Referer: http://r.test/\r\naccept: text/html\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        // Every key present: nothing is added; user-agent in lower case does not stop the default.
        {"Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nContent-Type: c\r\nuser-agent: X", "k=v",
         "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nContent-Type: c\r\nuser-agent: X\r\nCookie: k=v",
         "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nContent-Type: c\r\nuser-agent: X\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeFetchPageHeaders(c.caller, url, c.cookies), c.fetchPage) << c.caller;
        EXPECT_EQ(ComposeRequestObjectHeaders(c.caller, url), c.requestObject) << c.caller;
    }
}

}  // namespace
}  // namespace tollenby
