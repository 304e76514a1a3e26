#include "web/cookies.h"

#include <gtest/gtest.h>

namespace tollenby {
namespace {

TEST(Cookies, WorkedExample) {
    Text block = NormalizeSetCookieCase(
        "HTTP/1.1 200 OK\r\nset-cookie: b=20; path=/\r\nSET-COOKIE: d=4\r\n"
        "Set-Cookie: c=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(block,
              "HTTP/1.1 200 OK\r\nSet-Cookie: b=20; path=/\r\nSet-Cookie: d=4\r\n"
              "Set-Cookie: c=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT\r\nContent-Length: 0\r\n\r\n");
    Text newCookies = GatherNewCookies(block);
    EXPECT_EQ(newCookies, "b=20; d=4; c=deleted");

    Text cookies = "a=1; b=2; c=3";
    EXPECT_EQ(MergeCookies(cookies, newCookies), "b=20; d=4; a=1");
    EXPECT_EQ(cookies, "b=20; d=4; a=1");
    EXPECT_EQ(newCookies, "b=20;d=4;c=deleted");
}

TEST(Cookies, GatherFromHeaderBlocks) {
    struct Case {
        std::string_view block, expected;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", ""},
        {"HTTP/1.1 200 OK\r\nSet-Cookie: plain=1\r\n\r\n", "plain=1"},                // no attributes
        {"HTTP/1.1 200 OK\r\nSet-Cookie:   sp=a b  ; Path=/\r\n", "sp=a b"},          // trimmed only
        {"HTTP/1.1 200 OK\r\nSet-Cookie: ; Path=/\r\nSet-Cookie: z=9\r\n", "; z=9"},  // empty item kept
        {"HTTP/1.1 200 OK\r\nSet-Cookie: e=\r\n", "e="},
        {"Set-Cookie: x=1\r\nSet-Cookie: x=1\r\n", "x=1; x=1"},  // nothing merged here
    };
    for (const Case& c : cases) EXPECT_EQ(GatherNewCookies(c.block), c.expected) << c.block;
}

TEST(Cookies, MergeCases) {
    struct Case {
        std::string_view cookies, newCookies, merged, newAfter;
    } cases[] = {
        {"a=b c", "", "a=bc", ""},                 // spaces go, also inside values
        {"flag; a=1", "a=2", "a=2; flag", "a=2"},  // an item without "=" is its own name
        {"flag; a=1", "flag=on", "flag=on; a=1", "flag=on"},
        {"a=1; a=2", "", "a=1", ""},         // of two old items the first wins
        {"", "s=deleted", "", "s=deleted"},  // a deleted item alone leaves nothing
        {"s=1", "s=deleted", "", "s=deleted"},
        {"", "x=1; x=2; x=1", "x=1; x=2", "x=1;x=2;x=1"},  // new items all stay; equal repeats go
        {"a=1;;b=2;", "", "a=1; ; b=2", ""},               // an empty item between semicolons is kept
        {"a=1; \xA1\xA1"
         "b=2",
         "", "a=1; b=2", ""},                // full-width spaces go too
        {"d=Deleted", "", "d=Deleted", ""},  // the deleted suffix respects letter case
    };
    for (const Case& c : cases) {
        Text cookies(c.cookies);
        Text newCookies(c.newCookies);
        EXPECT_EQ(MergeCookies(cookies, newCookies), c.merged) << c.cookies << " + " << c.newCookies;
        EXPECT_EQ(cookies, c.merged);
        EXPECT_EQ(newCookies, c.newAfter);
    }
}

TEST(Cookies, DedupJoinAndNames) {
    EXPECT_EQ(DedupJoin("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(DedupJoin("", "; "), "");
    EXPECT_EQ(DedupJoin("a;b", "; "), "a;b");       // the separator must match whole
    EXPECT_EQ(DedupJoin("a||||a||", "||"), "a||");  // empty items are items too

    EXPECT_EQ(CookieName(" sid = 1=2"), "sid");
    EXPECT_EQ(CookieName(" lonely "), "lonely");
    EXPECT_EQ(CookieName("=v"), "");
}

TEST(Cookies, NormalizeTouchesOnlyTheName) {
    EXPECT_EQ(NormalizeSetCookieCase("sEt-CoOkIe: A=B\r\nX-Set-cookie2: y\r\n"),
              "Set-Cookie: A=B\r\nX-Set-Cookie2: y\r\n");
}

TEST(Cookies, AValueEndingInAStrayHighByteKeepsTheNextCookieApart) {
    // UTF-8 bytes in a value are not GBK; the odd last one must not hide the separator after it.
    Text block = NormalizeSetCookieCase(
        "HTTP/1.1 200 OK\r\nSet-Cookie: n=\xE5\x90\x8D; path=/\r\nSet-Cookie: m=\xE5\r\nSet-Cookie: k=1\r\n");
    Text newCookies = GatherNewCookies(block);
    EXPECT_EQ(newCookies, "n=\xE5\x90\x8D; m=\xE5; k=1");
    Text cookies = "k=0; z=\xE5; y=2";
    EXPECT_EQ(MergeCookies(cookies, newCookies), "n=\xE5\x90\x8D; m=\xE5; k=1; z=\xE5; y=2");
}

}  // namespace
}  // namespace tollenby
