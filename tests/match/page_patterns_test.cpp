// The site's patterns on small pages shaped like the site's own markup.
#include "collect/page_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

Text G(std::string_view utf8) {
    return Utf8ToLocal(utf8);
}
std::string Spaces(std::size_t n) {
    return std::string(n, ' ');
}

// A search page as the site sends it: CR LF line ends, the anchor text alone on its own line.
std::string SearchPage() {
    std::string page = "<div class=\"results\">\r\n";
    auto hit = [&page](const std::string& openTag, const std::string& title, const std::string& source) {
        page += "<h3 class=\"c-title\">\r\n" + openTag + "\r\n" + title + "\r\n" + Spaces(20) +
                "</a>\r\n</h3>\r\n";
        page += "<div class=\"c-summary\">\r\n<span>来自：" + source + "</span>\r\n</div>\r\n";
    };
    hit("<a rpos=\"\" cpos=\"title\" href=\"http://qun.example.com/q/1001.html\" target=\"_blank\">",
        "深圳<em>户外</em>交流群", "微信群");
    // Upper-case markup matches too.
    hit("<A RPOS=\"\" CPOS=\"title\" HREF=\"http://qun.example.com/q/1002.html\" TARGET=\"_blank\">",
        "广州读书会", "公众号");
    hit("<a rpos=\"\" cpos=\"title\" href=\"http://qun.example.com/q/1003.html\" target=\"_blank\">",
        "个人微信 小王", "个人号");
    // A hit whose text shares the line with the tag is not the site's layout and is not taken.
    page +=
        "<a rpos=\"\" cpos=\"title\" href=\"http://qun.example.com/q/9999.html\" "
        "target=\"_blank\">同一行</a>\r\n";
    return page + "</div>\r\n";
}

TEST(PagePatterns, TitleAndSourcePatternsReadEveryHitOfASearchPage) {
    const Text page = G(SearchPage());
    RegexMatcher titles;
    RegexMatcher sources;
    ASSERT_TRUE(titles.Search(kTitlePattern, page));
    ASSERT_TRUE(sources.Search(kSourcePattern, page));
    ASSERT_EQ(titles.MatchCount(), 3);
    ASSERT_EQ(sources.MatchCount(), 3);
    const std::vector<std::vector<std::string>> expected = {
        {"http://qun.example.com/q/1001.html", "深圳<em>户外</em>交流群", "微信群"},
        {"http://qun.example.com/q/1002.html", "广州读书会", "公众号"},
        {"http://qun.example.com/q/1003.html", "个人微信 小王", "个人号"},
    };
    for (int k = 1; k <= 3; ++k) {
        const std::vector<std::string>& row = expected[k - 1];
        EXPECT_EQ(titles.SubmatchText(k, 1), G(row[0])) << k;
        EXPECT_EQ(titles.SubmatchText(k, 2), G(row[1])) << k;
        EXPECT_EQ(sources.SubmatchText(k, 1), G(row[2])) << k;
    }
}

TEST(PagePatterns, TitlePatternNeedsCarriageReturnLineFeed) {
    std::string page = SearchPage();
    std::string lfOnly;
    for (char c : page) {
        if (c != '\r') lfOnly += c;
    }
    RegexMatcher m;
    ASSERT_TRUE(m.Search(kTitlePattern, G(lfOnly)));
    EXPECT_EQ(m.MatchCount(), 0);
}

// One field block of a detail page (LF line ends, the template's indentation) and what the field's
// pattern must capture from it.
struct DetailField {
    const char* name;
    std::string_view pattern;
    std::string block;
    std::string expected;
};

std::vector<DetailField> DetailFields() {
    return {
        {"description", kDescriptionPattern,
         "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">\n" + Spaces(40) +
             "欢迎加入深圳户外群\n" + Spaces(40) + "每周组织活动</span>\n" + Spaces(36) +
             "<i class=\"wxqicon_1 weixinqunICON\">\n",
         "\n" + Spaces(40) + "欢迎加入深圳户外群\n" + Spaces(40) + "每周组织活动</span>\n"},
        {"industry", kIndustryPattern,
         "<li>行业：<a href=\"/list/?c=2&amp;t=7\">\n" + Spaces(44) + "户外运动\n" + Spaces(40) +
             "</a></li>\n",
         "户外运动"},
        {"time", kTimePattern, "<li>时间：\n" + Spaces(44) + "2024-03-18\n" + Spaces(36) + "</li>\n",
         "2024-03-18"},
        {"region", kRegionPattern,
         "<li>地区：\n" + Spaces(40) + "<a href=\"/list/?c=2&amp;m=44\">\n" + Spaces(44) + "广东 深圳\n" +
             Spaces(40) + "</a>\n",
         "广东 深圳"},
        {"tags", kTagsPattern,
         "<li>标签：\n" + Spaces(40) + "\n" + Spaces(40) + "\n" + Spaces(40) + "<a href=\"\">\n" +
             Spaces(44) + "户外\n" + Spaces(40) + "</a>\n" + Spaces(40) + "<a href=\"\">\n" + Spaces(44) +
             "徒步\n" + Spaces(40) + "</a>\n",
         "户外"},
        {"WeChat ID", kAccountIdPattern,
         "<li><span class=\"des_info_text1\">微信号：\n" + Spaces(40) + "</span>\n" + Spaces(40) +
             "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" + Spaces(43) +
             "szhuwai2024\n" + Spaces(40) + "</span>\n" + Spaces(36) + "\n" + Spaces(32) + "</li>\n",
         "szhuwai2024"},
    };
}

TEST(PagePatterns, DetailPatternsReadTheirFieldsFromOnePage) {
    std::string page = "<html>\n<body>\n<div class=\"des_info\">\n<ul class=\"other-info\">\n";
    for (const DetailField& field : DetailFields()) page += field.block;
    page += "</ul>\n</div>\n</body>\n</html>\n";
    const Text gbkPage = G(page);
    // As the detail worker does it: one object, one search per field, group 1 of match 1.
    RegexMatcher m;
    for (const DetailField& field : DetailFields()) {
        ASSERT_TRUE(m.Search(field.pattern, gbkPage)) << field.name;
        EXPECT_EQ(m.SubmatchText(1, 1), G(field.expected)) << field.name;
    }
}

// Every run of indentation in the field patterns is exact: one space more or less in the page and
// the field is no longer what the pattern was written for.
TEST(PagePatterns, IndentationRunsMustMatchExactly) {
    RegexMatcher m;
    for (const DetailField& field : DetailFields()) {
        if (field.pattern == kDescriptionPattern) continue;  // its runs are page text, not pattern
        const std::string& block = field.block;
        ASSERT_TRUE(m.Search(field.pattern, G(block)));
        const std::string whole = AnsiToUtf8(m.MatchText(1));
        const std::size_t matchEnd = block.find(whole) + whole.size();
        for (std::size_t at = block.find("\n "); at < matchEnd; at = block.find("\n ", at + 1)) {
            std::size_t run = block.find_first_not_of(' ', at + 1) - (at + 1);
            for (int delta : {-1, 1}) {
                std::string changed = block;
                if (delta < 0) {
                    changed.erase(at + 1, 1);
                } else {
                    changed.insert(at + 1, " ");
                }
                ASSERT_TRUE(m.Search(field.pattern, G(changed)));
                EXPECT_NE(m.SubmatchText(1, 1), G(field.expected))
                    << field.name << ": run of " << run << " spaces changed by " << delta;
            }
        }
    }
}

TEST(PagePatterns, DescriptionOnTheOpeningLineIsEmpty) {
    RegexMatcher m;
    Text page =
        G("<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">短介绍"
          "<i class=\"wxqicon_1 weixinqunICON\">\n");
    ASSERT_TRUE(m.Search(kDescriptionPattern, page));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchText(1, 1), "");
}

}  // namespace
}  // namespace tollenby
