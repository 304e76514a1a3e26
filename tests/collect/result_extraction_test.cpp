#include "collect/result_extraction.h"

#include <gtest/gtest.h>

#include "collect/collect_texts.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

Text Gbk(std::string_view utf8) {
    return Utf8ToLocal(utf8);
}
std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

TEST(CleanTitle, DropsQuotesTagsAndQuestionMarksThenTrims) {
    struct Case {
        std::string_view raw, clean;
    };
    const Case cases[] = {
        {"<em>美食</em>交流群", "美食交流群"},
        {"<EM>美食</Em>群", "美食群"},
        {"\"美食\"群?", "美食群"},
        {"美食群？", "美食群？"},  // the full-width question mark stays
        {"\u3000 美食\u3000群 \u3000", "美食\u3000群"},
        {" <em> </em> \u3000", ""},
        {"a</em>b", "ab"},  // closing tag first, so no "</" is left
        {"\t美食", "\t美食"},
    };
    for (const Case& c : cases) EXPECT_EQ(AnsiToUtf8(CleanTitle(Gbk(c.raw))), c.clean) << c.raw;
}

Text Hit(std::string_view url, std::string_view title) {
    return "<a rpos=\"\" cpos=\"title\" href=\"" + Text(url) + "\" target=\"_blank\">\r\n" + Text(title) +
           "\r\n    </a>\r\n";
}

TEST(ExtractHits, PairsSourcesWithHitsByTheirRank) {
    Text page = Hit("http://h/1.html?a=1&amp;b=2", "<em>one</em>") + Gbk("<span>来自：微信群</span>") +
                Hit("http://h/2.html", "two") + Hit("http://h/3.html", "three") +
                Gbk("<span>来自：公众号</span>");
    RegexMatcher titles, sources;
    std::vector<ResultHit> hits = ExtractHits(page, titles, sources);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].title, "one");
    EXPECT_EQ(hits[0].url, "http://h/1.html?a=1&amp;b=2");  // entities stay as the page has them
    EXPECT_EQ(hits[0].source, Gbk("微信群"));
    EXPECT_EQ(hits[1].source, Gbk("公众号"));  // the second source, wherever it stands
    EXPECT_EQ(hits[2].url, "http://h/3.html");
    EXPECT_EQ(hits[2].source, "");
    EXPECT_TRUE(ExtractHits("", titles, sources).empty());
    EXPECT_TRUE(
        ExtractHits("<a rpos=\"\" cpos=\"title\" href=\"x\" target=\"_blank\">\nt\n</a>\n", titles, sources)
            .empty());  // LF alone is not the search page's line end
}

TEST(CleanDescription, RemovesIndentRunsAndLeftoverTags) {
    EXPECT_EQ(CleanDescription("  a" + Spaces(80) + "b</SPAN></li>\n  "), "ab\n");
    EXPECT_EQ(CleanDescription("a" + Spaces(39) + "b"), "a" + Spaces(39) + "b");
    EXPECT_EQ(CleanDescription(" one\n" + Spaces(40) + "two\t"), "one\ntwo\t");
    EXPECT_EQ(CleanDescription("<ul class=\"other-info\"><li style=\"width:185px;\">x"), "x");
}

TEST(QrImageAddress, CutsBetweenTheCommentsThenInsideTheImageTag) {
    const std::string left = "<!--<span class=\"expired\" style=\"display: none;\"></span>-->";
    const std::string right = "<!--<div class=\"tool\">";
    EXPECT_EQ(QrImageAddress(left + "\n<img src=\"http://h/q.gif\" alt=\"x\">\n" + right), "http://h/q.gif");
    EXPECT_EQ(QrImageAddress("<img src=\"http://h/q.gif\">" + right), "");  // no expired comment
    EXPECT_EQ(QrImageAddress(left + "<img src=\"http://h/q.gif\">"), "");   // no tool comment
    EXPECT_EQ(QrImageAddress(left + "<p>none</p>" + right + "<img src=\"http://h/q.gif\">"), "");
}

TEST(ReadDetailPage, GoneEntriesAndEmptyPages) {
    DetailMatchers matcher;
    DetailFields gone =
        ReadDetailPage(Gbk("<p>获得更多金币秘籍</p>\n时间：\n") + Spaces(44) + "2024\n", matcher);
    EXPECT_TRUE(gone.deleted);
    for (const Text* field : {&gone.description, &gone.industry, &gone.time, &gone.region, &gone.tags,
                              &gone.accountId, &gone.qrImage})
        EXPECT_EQ(*field, kDeletedMarker);

    DetailFields empty = ReadDetailPage("", matcher);
    EXPECT_FALSE(empty.deleted);
    EXPECT_EQ(empty.accountId, kNoAccountIdText);
    for (const Text* field :
         {&empty.description, &empty.industry, &empty.time, &empty.region, &empty.tags, &empty.qrImage})
        EXPECT_EQ(*field, "");
}

}  // namespace
}  // namespace tollenby
