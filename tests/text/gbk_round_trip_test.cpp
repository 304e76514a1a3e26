// The one-pass page form must equal the two conversions it replaces, byte for byte.
#include "text/gbk_round_trip.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/encoding.h"

namespace tollenby {
namespace {

std::string Reference(std::string_view bytes) {
    return AnsiToUtf8(Utf8ToLocal(bytes));
}

std::string Utf8Of(char32_t c) {
    std::string out;
    AppendUtf8(out, c);
    return out;
}

// Every character of the Basic Multilingual Plane and a sample beyond it, each between ASCII
// neighbours, in blocks so a failure names a small range.
TEST(Utf8ThroughGbk, EveryCharacterComesOutAsTheTwoConversionsMakeIt) {
    ASSERT_TRUE(
        GbkRoundTripTableReady());  // otherwise the comparisons below compare the reference with itself
    for (char32_t block = 0; block < 0x110000; block += 0x400) {
        // One block per supplementary plane, and the block of the ignorable tag characters.
        if (block >= 0x10000 && block % 0x10000 != 0 && block != 0xE0000) continue;
        std::string text;
        for (char32_t c = block; c < block + 0x400; ++c) {
            if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) continue;
            text += 'a' + Utf8Of(c);
        }
        ASSERT_EQ(Utf8ThroughGbk(text), Reference(text))
            << "block U+" << std::hex << static_cast<std::uint32_t>(block);
    }
}

TEST(Utf8ThroughGbk, InvalidBytesZeroBytesAndRandomMixturesMatchTheReference) {
    const std::string cases[] = {
        "",
        "plain ascii",
        "\xE4\xB8",                      // a character cut short at the end
        "\xE4\xB8<a>",                   // cut short before markup
        "\xC0\x80\xC1\xBF",              // overlong forms
        "\xED\xA0\x80\xED\xBF\xBF",      // surrogates written as UTF-8
        "\xF4\x90\x80\x80\xF5\xFF\xFE",  // beyond U+10FFFF and bytes that never start anything
        "\xF0\x9F\x98\x80\xF0\x9F\x98",  // an emoji, then one cut short
        "\x80\xBF\xE0\x80\xE0\xA0",      // stray continuation bytes, E0 with a low second byte
        std::string("before\0after", 12),
        "\xE2\x82\xAC \xEF\xA3\xB5 \xE4\xB8\xAD",  // euro sign, U+F8F5, a Chinese character
        "a\xE2\x80\x8B\xC2\xAD"
        "b\xF3\xA0\x80\x81",  // ignorables the converter drops: U+200B, U+00AD, U+E0001
    };
    for (const std::string& c : cases) EXPECT_EQ(Utf8ThroughGbk(c), Reference(c)) << c;

    // Random mixtures of ASCII, valid characters of every length and loose high bytes.
    std::mt19937 random(20261211);
    const std::string pieces[] = {"<",
                                  "a",
                                  "\n",
                                  "\xE4\xB8\xAD",
                                  "\xC3\xA9",
                                  "\xE2\x82\xAC",
                                  "\xF0\x9F\x98\x80",
                                  "\xE2\x80\x8B",
                                  "\x80",
                                  "\xC3",
                                  "\xE4\xB8",
                                  "\xF0\x9F",
                                  "\xFF",
                                  "\xED\xA0\x80",
                                  "\xEF\xBB\xBF"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> anyByte(1, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int k = 0; k < 24; ++k) {
            text +=
                round % 2 == 0 ? pieces[pick(random)] : std::string(1, static_cast<char>(anyByte(random)));
        }
        ASSERT_EQ(Utf8ThroughGbk(text), Reference(text)) << "round " << round;
    }
}

TEST(Utf8ThroughGbk, TellsWhenACharacterIsOneHighGbkByte) {
    bool single = true;
    Utf8ThroughGbk("\xE4\xB8\xAD\xE6\x96\x87 text", &single);  // 中文
    EXPECT_FALSE(single);
    Utf8ThroughGbk("price \xE2\x82\xAC", &single);  // the euro sign is GBK byte 0x80
    EXPECT_TRUE(single);
    Utf8ThroughGbk("\xEF\xA3\xB5", &single);  // U+F8F5 is GBK byte 0xFF
    EXPECT_TRUE(single);
}

}  // namespace
}  // namespace tollenby
