// Keyword files as bytes: byte-order marks, UTF-8 and GBK, line ends, a zero byte.
#include "app/keyword_file.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace tollenby {
namespace {

struct DecodeCase {
    const char* what;
    QByteArray bytes;
    const char* expected;  // UTF-8 of the box text
};

TEST(DecodeKeywordBytes, TakesByteOrderMarksUtf8AndOtherwiseGbk) {
    const DecodeCase cases[] = {
        {"ASCII with CR LF", "a\r\nb\r\n", "a\nb\n"},
        {"ASCII with LF", "a\nb", "a\nb"},
        {"a lone CR", "a\rb", "a\nb"},
        {"UTF-8 without mark", "\xE7\xBE\x8E\xE9\xA3\x9F\r\n\xE6\x97\x85\xE8\xA1\x8C", "美食\n旅行"},
        {"UTF-8 with mark", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87\n", "中文\n"},
        {"UTF-16 LE with mark", QByteArray("\xFF\xFE\x2D\x4E\x87\x65\r\0\n\0a\0", 12), "中文\na"},
        {"UTF-16 BE with mark", QByteArray("\xFE\xFF\x4E\x2D\x65\x87\0\n\0b", 10), "中文\nb"},
        {"GBK", "\xC3\xC0\xCA\xB3\r\n\xC9\xCF\xBA\xA3\r\n", "美食\n上海\n"},
        {"GBK cut at the first zero byte", QByteArray("\xD6\xD0\xCE\xC4\r\nx\0tail", 11), "中文\nx"},
        {"empty", "", ""},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(DecodeKeywordBytes(c.bytes), QString::fromUtf8(c.expected)) << c.what;
    }
}

}  // namespace
}  // namespace tollenby
