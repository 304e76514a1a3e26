// Reading a detail page from its bytes must give what reading its GBK text gives, field for field.
#include "collect/detail_page_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "demo/demo_content.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

constexpr std::string_view kBase = "http://127.0.0.1:8737";

void ExpectSameFields(const DetailFields& got, const DetailFields& want, const std::string& what) {
    EXPECT_EQ(got.deleted, want.deleted) << what;
    EXPECT_EQ(got.description, want.description) << what;
    EXPECT_EQ(got.industry, want.industry) << what;
    EXPECT_EQ(got.time, want.time) << what;
    EXPECT_EQ(got.region, want.region) << what;
    EXPECT_EQ(got.tags, want.tags) << what;
    EXPECT_EQ(got.accountId, want.accountId) << what;
    EXPECT_EQ(got.qrImage, want.qrImage) << what;
}

// Inserts `piece` before the first `marker` of the page (the page must hold it).
std::string InsertBefore(std::string page, std::string_view marker, std::string_view piece) {
    std::size_t at = page.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    if (at != std::string::npos) page.insert(at, piece);
    return page;
}

TEST(ReadDetailBody, GivesWhatTheGbkPageGivesOnTheSitesPages) {
    DetailMatchers fromBody;
    DetailMatchers fromText;
    int pages = 0;
    int deleted = 0;
    for (std::uint32_t id = 1; id <= 80; ++id) {
        std::optional<std::string> page = demo::DetailPageHtml(id, kBase);
        if (!page) continue;
        ++pages;
        const DetailFields got = ReadDetailBody(*page, fromBody);
        ExpectSameFields(got, ReadDetailPage(Utf8ToLocal(*page), fromText), "id " + std::to_string(id));
        // And both read what the site put there.
        const demo::DemoEntry entry = demo::DetailOf(id, kBase);
        if (entry.deleted) {
            ++deleted;
            EXPECT_TRUE(got.deleted) << id;
        } else {
            EXPECT_EQ(AnsiToUtf8(got.region), entry.region) << id;
            EXPECT_EQ(AnsiToUtf8(got.qrImage), entry.qrImage) << id;
            EXPECT_EQ(AnsiToUtf8(got.description), entry.description) << id;
        }
    }
    EXPECT_GT(pages, 40);
    EXPECT_GT(deleted, 0);
    EXPECT_LT(deleted, pages);
}

// Pages the site never sends but a network may: characters GBK cannot hold, broken UTF-8, a zero byte,
// and the euro sign, which GBK holds as the single byte 0x80 that the GBK text routines read as the
// start of a two-byte character.
TEST(ReadDetailBody, GivesWhatTheGbkPageGivesOnDamagedPages) {
    std::optional<std::string> page;
    for (std::uint32_t id = 1; id <= 80 && !page; ++id) {
        const demo::DemoEntry entry = demo::DetailOf(id, kBase);
        if (!entry.deleted && !entry.qrImage.empty()) page = demo::DetailPageHtml(id, kBase);
    }
    ASSERT_TRUE(page);
    const std::string goneSign =
        "\xE8\x8E\xB7\xE5\xBE\x97\xE6\x9B\xB4\xE5\xA4\x9A\xE9\x87\x91\xE5\xB8\x81"
        "\xE7\xA7\x98\xE7\xB1\x8D";  // 获得更多金币秘籍
    struct Case {
        std::string what;
        std::string body;
    };
    const Case cases[] = {
        {"empty", ""},
        {"no fields", "<html><body>\xE4\xB8\xAD</body></html>"},
        {"the site's page", *page},
        {"emoji and broken UTF-8 before the QR image",
         InsertBefore(*page, "<img src=\"", "\xF0\x9F\x98\x80\xE4\xB8\xC3(")},
        {"euro sign just before the QR image", InsertBefore(*page, "<img src=\"", "\xE2\x82\xAC")},
        {"euro sign just before the QR markers",
         InsertBefore(*page, "<!--<span class=\"expired\"", "\xE2\x82\xAC")},
        {"zero byte in the middle", InsertBefore(*page, "<!--<span class=\"expired\"", std::string(1, '\0'))},
        {"gone sign after a euro sign", "<p>\xE2\x82\xAC" + goneSign + "</p>" + *page},
        {"gone sign after U+F8F5", "<p>\xEF\xA3\xB5" + goneSign + "</p>"},
        {"gone sign alone", "<p>" + goneSign + "</p>"},
    };
    DetailMatchers fromBody;
    DetailMatchers fromText;
    for (const Case& c : cases) {
        ExpectSameFields(ReadDetailBody(c.body, fromBody), ReadDetailPage(Utf8ToLocal(c.body), fromText),
                         c.what);
    }
    // The euro sign really changes what the GBK routines see, so the cases above test something.
    EXPECT_FALSE(ReadDetailBody("<p>\xE2\x82\xAC" + goneSign + "</p>", fromBody).deleted);
    EXPECT_TRUE(ReadDetailBody("<p>" + goneSign + "</p>", fromBody).deleted);
}

}  // namespace
}  // namespace tollenby
