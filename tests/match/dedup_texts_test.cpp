#include "match/dedup_texts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "text/encoding.h"

namespace tollenby {
namespace {

struct DedupCase {
    const char* what;
    TextArray before;
    TextArray after;
};

TextArray G(std::initializer_list<const char*> utf8) {
    TextArray texts;
    for (const char* t : utf8) texts.push_back(Utf8ToLocal(t));
    return texts;
}

void PrintTo(const DedupCase& c, std::ostream* os) {
    *os << c.what;
}

class DedupTextsTable : public testing::TestWithParam<DedupCase> {};

TEST_P(DedupTextsTable, KeepsTheLastOccurrenceOfEachText) {
    const DedupCase& c = GetParam();
    TextArray texts = c.before;
    EXPECT_EQ(DedupTexts(texts), c.after.size());
    EXPECT_EQ(texts, c.after);
    // A second pass finds nothing more to remove.
    EXPECT_EQ(DedupTexts(texts), c.after.size());
    EXPECT_EQ(texts, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DedupTextsTable,
    testing::Values(
        DedupCase{"repeats", G({"A", "B", "A", "C", "B"}), G({"A", "C", "B"})},
        DedupCase{"empty array", {}, {}},
        DedupCase{"no repeats", G({"广东", "深圳", "北京"}), G({"广东", "深圳", "北京"})},
        DedupCase{"A B A", G({"A", "B", "A"}), G({"B", "A"})},
        DedupCase{"three empty texts", G({"", "广东", "", "北京", ""}), G({"广东", "北京", ""})},
        // Regions hold spaces; each must still appear once in the region box.
        DedupCase{"text with a space", G({"广东 深圳", "北京", "广东 深圳"}), G({"北京", "广东 深圳"})},
        DedupCase{"punctuation and line breaks", G({"a/b (c)", "x\r\ny", "a/b (c)", "x\r\ny"}),
                  G({"a/b (c)", "x\r\ny"})},
        DedupCase{"letter case differs", G({"Shenzhen", "shenzhen"}), G({"Shenzhen", "shenzhen"})},
        DedupCase{"leading digit", G({"1号群", "其他", "1号群"}), G({"其他", "1号群"})},
        // Full-width and ASCII spaces are different texts.
        DedupCase{"full-width space", G({"广东　深圳", "广东 深圳"}), G({"广东　深圳", "广东 深圳"})}),
    [](const testing::TestParamInfo<DedupCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

}  // namespace
}  // namespace tollenby
