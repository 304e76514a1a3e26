#include "text/keyword_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tollenby {
namespace {

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::string expected;  // UTF-8
};

TEST(DecodeKeywordBytes, TakesByteOrderMarksUtf8AndOtherwiseGbk) {
    using namespace std::string_literals;
    const DecodeCase cases[] = {
        {"ASCII with CR LF", "a\r\nb\r\n", "a\nb\n"},
        {"mixed line ends", "a\rb\r\n\nc\r", "a\nb\n\nc\n"},
        {"UTF-8 without mark", "\xE7\xBE\x8E\xE9\xA3\x9F\r\n\xE6\x97\x85", "美食\n旅"},
        {"UTF-8 with mark, cut at zero", "\xEF\xBB\xBF\xE4\xB8\xAD\n\0tail"s, "中\n"},
        {"UTF-8 mark with a broken sequence keeps the rest",
         "\xEF\xBB\xBF"
         "a\xE4\xB8z",
         "a\xEF\xBF\xBDz"},
        {"UTF-16 LE, cut at a zero unit", "\xFF\xFE\x2D\x4E\r\0\n\0a\0\0\0b\0"s, "中\na"},
        {"UTF-16 BE with a dangling byte", "\xFE\xFF\x4E\x2D\0\n\0b\x01"s, "中\nb"},
        {"UTF-16 lone surrogate", "\xFF\xFE\x00\xD8x\0"s, "\xEF\xBF\xBDx"},
        {"GBK", "\xC3\xC0\xCA\xB3\r\n\xC9\xCF\xBA\xA3\r\n", "美食\n上海\n"},
        {"GBK cut at the first zero byte", "\xD6\xD0\xCE\xC4\r\nx\0tail"s, "中文\nx"},
        {"an encoded surrogate is not UTF-8 but GBK", "\xED\xA0\x80", "頎€"},
        {"empty", "", ""},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(DecodeKeywordBytes(c.bytes), c.expected) << c.what;
}

}  // namespace
}  // namespace tollenby
