#include "collect/search_phase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "text/encoding.h"

namespace tollenby {
namespace {

Text Gbk(std::string_view utf8) {
    return Utf8ToLocal(utf8);
}

TEST(SplitKeywords, LineBreaksEndKeywordsAndEmptyLinesStay) {
    struct Case {
        std::string_view text;
        TextArray keywords;
    };
    const Case cases[] = {
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"", {}},
        {"\r\n", {""}},
        {" a \r\n", {" a "}},
        {"a\nb\r\n", {"a\nb"}},  // only CR LF ends a keyword
    };
    for (const Case& c : cases) EXPECT_EQ(SplitKeywords(c.text), c.keywords) << c.text;
}

TEST(SplitKeywords, NeverSplitsInsideATwoByteCharacter) {
    // B0 0D is no GBK character: a stray lead byte before a line end stands alone, so the line still
    // ends there; the second byte of a real character is never taken for a line end's start.
    EXPECT_EQ(SplitKeywords("\x81\r\nx\r\n"), (TextArray{"\x81", "x"}));
    EXPECT_EQ(SplitKeywords("\xB0\x41\r\ny"), (TextArray{"\xB0\x41", "y"}));
}

TEST(LeadingInteger, ReadsLikeTheBoxesAreMeant) {
    struct Case {
        std::string_view text;
        int value;
    };
    const Case cases[] = {{"2", 2},
                          {"  -2", -2},
                          {"x", 0},
                          {"", 0},
                          {"+3 pages", 3},
                          {"\t 7", 7},
                          {"0", 0},
                          {"- 3", 0},
                          {"20", 20},
                          {"99999999999", INT_MAX},
                          {"-99999999999", INT_MIN}};
    for (const Case& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << c.text;
}

TEST(SearchAddress, EncodesTheKeywordFromUtf8AndAppendsTheFilterTail) {
    EXPECT_EQ(SearchAddress("so.example", Gbk("中文"), 1, TimeFilter::OneDay),
              "http://so.example/cse/"
              "search?q=%E4%B8%AD%E6%96%87&p=1&s=1626844590849882386&sti=1440&nsid=0&entry=1");
    const std::pair<TimeFilter, std::string_view> tails[] = {
        {TimeFilter::OneMonth, "&s=1626844590849882386&sti=43200&nsid=0"},
        {TimeFilter::OneWeek, "&s=1626844590849882386&sti=10080&nsid=0"},
        {TimeFilter::OneDay, "&s=1626844590849882386&sti=1440&nsid=0&entry=1"},
        {TimeFilter::AllTime, "&s=1626844590849882386&nsid=0"},
    };
    for (auto [filter, tail] : tails)
        EXPECT_EQ(SearchAddress("h:81", "a b-c.d~", 12, filter),
                  "http://h:81/cse/search?q=a%20b-c.d%7E&p=12" + Text(tail));
    EXPECT_EQ(SearchAddress("h", "", 3, TimeFilter::AllTime),
              "http://h/cse/search?q=&p=3&s=1626844590849882386&nsid=0");
}

TEST(StatusTexts, AreByteForByteTheWindowsTexts) {
    EXPECT_EQ(SearchingStatusText(Gbk("美食"), 1, 3, 2), Gbk("正在采集关键词：美食1/3   第2页"));
    EXPECT_EQ(SearchingStatusText("", 2, 3, 10), Gbk("正在采集关键词：2/3   第10页"));
    EXPECT_EQ(RunCompleteStatusText(0), Gbk("采集完成！共计采集结果：0条"));
    EXPECT_EQ(RunCompleteStatusText(1234), Gbk("采集完成！共计采集结果：1234条"));
}

TEST(SearchHost, TheEnvironmentOverridesTheBuiltInHost) {
    unsetenv("TOLLENBY_SEARCH_HOST");
    EXPECT_EQ(SearchHost(), BuiltInSearchHost());
    EXPECT_FALSE(BuiltInSearchHost().empty());
    setenv("TOLLENBY_SEARCH_HOST", "127.0.0.1:9", 1);
    EXPECT_EQ(SearchHost(), "127.0.0.1:9");
    setenv("TOLLENBY_SEARCH_HOST", "", 1);
    EXPECT_EQ(SearchHost(), BuiltInSearchHost());
    unsetenv("TOLLENBY_SEARCH_HOST");
}

}  // namespace
}  // namespace tollenby
