#include "text/gbk_text.h"

#include <gtest/gtest.h>

namespace tollenby {
namespace {

// 中 = D6 D0, 文 = CE C4; B0 A1 and A1 B0 are characters whose inner bytes read A1 A1 (a full-width space).
constexpr std::string_view kZhong = "\xD6\xD0";
constexpr std::string_view kTricky = "\xB0\xA1\xA1\xB0";

TEST(TextFind, NeverMatchesOnASecondByte) {
    struct Case {
        std::string_view text, needle;
        bool ignoreCase;
        std::size_t expected;
    } cases[] = {
        {"abcabc", "c", false, 2},
        {"xAbC", "abc", true, 1},
        {"xAbC", "abc", false, kNotFound},
        {"\xB0\x41"
         "A",
         "A", false, 2},  // B0 41 is one character: the first A is its second byte
        {"\xB0\x41"
         "a",
         "A", true, 2},
        {kTricky, kFullWidthSpace, false, kNotFound},
        {"\xB0\x41\xB0\x61", "\xB0\x41", true, 0},
        {"\xB0\x61", "\xB0\x41", true, kNotFound},  // case folding never touches a two-byte character
        {"abc", "", false, kNotFound},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextFind(c.text, c.needle, 0, c.ignoreCase), c.expected) << c.text << " / " << c.needle;
    }
}

TEST(TextFind, LongTextWithManyFalseCandidates) {
    // Every A1 A1 pair inside the run of B0 A1 / A1 B0 characters is a false candidate.
    std::string text;
    for (int i = 0; i < 1000; ++i) text += kTricky;
    text += kFullWidthSpace;
    EXPECT_EQ(TextFind(text, kFullWidthSpace), 4000u);
}

TEST(TextReplace, ReplacesLeftToRightWithoutRescanning) {
    EXPECT_EQ(TextReplace("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(TextReplace("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(TextReplace("xAx", "a", "", true), "xx");
    EXPECT_EQ(TextReplace("abc", "", "z"), "abc");
    EXPECT_EQ(TextReplace("ababab", "ab", "-", false, 0, 2), "--ab");
    EXPECT_EQ(TextReplace(kTricky, kFullWidthSpace, "_"), std::string(kTricky));
}

TEST(TextSplit, KeepsEmptyPieces) {
    EXPECT_EQ(TextSplit("a\r\n\r\nb", "\r\n"), (TextArray{"a", "", "b"}));
    EXPECT_EQ(TextSplit("", ";"), (TextArray{""}));
    EXPECT_EQ(TextSplit("a;", ";"), (TextArray{"a", ""}));
}

TEST(TextTrim, RemovesOnlySpacesAndFullWidthSpaces) {
    std::string fw(kFullWidthSpace);
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"  a b  ", "a b"},
        {fw + " " + std::string(kZhong) + fw + fw, std::string(kZhong)},
        {"\ta\r\n", "\ta\r\n"},
        {fw + fw, ""},
        {"", ""},
        // D6 A1 is a character; the A1 A1 that the bytes end with is not a trailing full-width space.
        {"\xD6\xA1\xA1", "\xD6\xA1\xA1"},
        {std::string("x") + std::string(kTricky), std::string("x") + std::string(kTricky)},
    };
    for (const Case& c : cases) EXPECT_EQ(TextTrim(c.text), c.expected) << c.text;
    EXPECT_EQ(RemoveSpaces(" a " + fw + "b "), "ab");
    EXPECT_EQ(TrimAsciiSpaces("  a\t "), "a\t");
}

TEST(AsciiLower, LeavesTwoByteCharactersAlone) {
    EXPECT_EQ(AsciiLower("HTTP://Host\xB0\x41"), "http://host\xB0\x41");
}

TEST(ReplacePairs, AppliesPairsInOrder) {
    EXPECT_EQ(ReplacePairs("aXbx", {{"x", "y"}}), "ayby");
    // "</em>" goes before "em>", so no "</" is left behind.
    EXPECT_EQ(
        ReplacePairs("<EM>a</em>b\"?", {{"\"", ""}, {"<em>", ""}, {"</em>", ""}, {"?", ""}, {"em>", ""}}),
        "ab");
    EXPECT_EQ(ReplacePairs("xXx", 2, 0, false, {{"x", "-"}}), "--x");
    EXPECT_EQ(ReplacePairs("xXx", 0, 0, true, {{"x", "-"}}), "-X-");
    EXPECT_EQ(ReplacePairs("xxx", 0, 2, false, {{"x", "-"}}), "x--");
    // The start position counts characters: 中 is one.
    EXPECT_EQ(ReplacePairs(std::string(kZhong) + "xx", 0, 2, false, {{"x", "-"}}),
              std::string(kZhong) + "--");
    EXPECT_EQ(ReplacePairs("abc", {{"", "z"}, {"b", ""}}), "ac");
}

// A lead byte before a byte that cannot end a two-byte character (a control character, space, digit or
// punctuation below 0x40) stands alone, so what follows it is found: UTF-8 bytes in a header or cookie
// no longer hide the separator after them.
TEST(GbkText, AStrayLeadByteDoesNotSwallowTheSeparatorAfterIt) {
    EXPECT_EQ(CharLength("\xE5;", 0), 1u);
    EXPECT_EQ(CharLength("\xE5\x41", 0), 2u);  // a real two-byte character
    EXPECT_EQ(TextFind("a=\xE5;b", ";"), 3u);
    EXPECT_EQ(TextSplit("x\xE5\r\ny", "\r\n"), (TextArray{"x\xE5", "y"}));
    EXPECT_EQ(RemoveSpaces("a\xE5 b"),
              "a\xE5"
              "b");
    EXPECT_EQ(TextTrim("\xE5 "), "\xE5");
    EXPECT_EQ(TextReplace("\xE5\"q\"", "\"", ""), "\xE5q");
    // The second byte of a real character is still never matched.
    EXPECT_EQ(TextFind("\xB0\x41", "A"), kNotFound);
}

}  // namespace
}  // namespace tollenby
