#include "text/encoding.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tollenby {
namespace {

const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";
const std::string kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(UrlEncode, WorkedExamples) {
    struct Case {
        std::string text;
        bool keep, utf8;
        std::string expected;
    } cases[] = {
        {kZhongWenGbk, true, true, "%E4%B8%AD%E6%96%87"},
        {kZhongWenGbk, true, false, "%D6%D0%CE%C4"},
        {"a b", true, true, "a%20b"},
        {"a-b_c.d~e/f", true, true, "a-b%5Fc.d%7Ee%2Ff"},
        {"ab", false, false, "%61%62"},
        {"a1", false, true, "%61%31"},
        {"\t\xAB", false, false, "%09%AB"},
        {"\xB0\x41", true, false, "%B0A"},  // bytes are judged one by one
        {"*+", true, true, "%2A%2B"},
        {"", true, true, ""},
        {"", false, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.text, c.keep, c.utf8), c.expected) << c.text;
}

TEST(Utf8ToLocal, ConvertsAndSubstitutes) {
    struct Case {
        std::string bytes, expected;
    } cases[] = {
        {kZhongWenUtf8, kZhongWenGbk},
        {"", ""},
        {std::string("a\0b", 3), "a"},
        {"plain <ascii> text\r\n", "plain <ascii> text\r\n"},
        {"\xE2\x82\xAC", "\x80"},      // the euro sign is the single byte 0x80 in code page 936
        {"\xE3\x80\x80", "\xA1\xA1"},  // U+3000, the full-width space
        {"a\xF0\x9F\x98\x80"
         "b",
         "a?b"},  // an emoji GBK cannot hold: one "?" for the character
        {"a\xFF"
         "b",
         "a?b"},
        {"\xE4\xB8", "?"},  // a truncated sequence is one maximal invalid subsequence
        {"\xE0\x80"
         "x",
         "??x"},                  // E0 cannot be followed by 80: two invalid subsequences
        {"\xED\xA0\x80", "???"},  // an encoded surrogate is not UTF-8
        {"\xC0\xAF", "??"},       // overlong form
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToLocal(c.bytes), c.expected) << c.bytes;
}

TEST(AnsiToUtf8, RoundTripsThroughUtf16) {
    EXPECT_EQ(AnsiToUtf8(kZhongWenGbk), kZhongWenUtf8);
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(GbkToUtf16(kZhongWenGbk), u"\u4E2D\u6587");
    EXPECT_EQ(Utf16ToGbk(u"\u4E2D\u6587\u3000"), kZhongWenGbk + "\xA1\xA1");
    EXPECT_EQ(Utf16ToGbk(u"x\U0001F600y"), "x?y");
}

TEST(Encodings, SafeFromManyThreadsAtOnce) {
    std::string page;
    for (int i = 0; i < 2000; ++i) page += kZhongWenUtf8 + "<a href=\"x\">\xF0\x9F\x98\x80</a>\r\n";
    const Text expected = Utf8ToLocal(page);
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                if (Utf8ToLocal(page) != expected) ++failures[t];
                if (AnsiToUtf8(kZhongWenGbk) != kZhongWenUtf8) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace tollenby
