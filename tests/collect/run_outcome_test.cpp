// What a row and a run say about themselves: the completion and stop texts, and a detail page whose
// field searches run out of time.
#include <gtest/gtest.h>

#include <string>

#include "collect/collect_texts.h"
#include "collect/result_extraction.h"
#include "collect/search_phase.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

TEST(RunStatusTexts, CountsOfFailuresFollowOnlyWhenThereAreAny) {
    struct Case {
        std::size_t rows, failed, pages;
        const char* text;
    };
    const Case cases[] = {
        {24, 0, 0, "采集完成！共计采集结果：24条"},
        {24, 3, 1, "采集完成！共计采集结果：24条，失败：3条，搜索页失败：1页"},
        {11, 6, 0, "采集完成！共计采集结果：11条，失败：6条"},
        {0, 0, 2, "采集完成！共计采集结果：0条，搜索页失败：2页"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnsiToUtf8(RunCompleteStatusText(c.rows, c.failed, c.pages)), c.text) << c.text;
    EXPECT_EQ(AnsiToUtf8(RunStoppedStatusText(7)), "采集已停止！共计采集结果：7条");
    EXPECT_EQ(AnsiToUtf8(Text(kRowFailedText)), "采集失败");
}

TEST(ReadDetailPage, AFieldSearchOutOfTimeLeavesTheRowUntrusted) {
    // Thousands of description openings with no closing marker: every start scans to the end, far
    // past the search budget.
    std::string page;
    for (int i = 0; i < 20000; ++i)
        page += "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">x\n";
    DetailMatchers matchers;
    DetailFields fields = ReadDetailPage(Utf8ToLocal(page), matchers);
    EXPECT_FALSE(fields.complete);

    DetailFields plain = ReadDetailPage(Utf8ToLocal("<html><body>nothing here</body></html>"), matchers);
    EXPECT_TRUE(plain.complete);
    EXPECT_EQ(AnsiToUtf8(plain.accountId), "无");
}

}  // namespace
}  // namespace tollenby
