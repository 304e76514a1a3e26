#include "export/spreadsheet.h"

#include <freexl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/export/xls_readback.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

const std::vector<std::string> kTitlesUtf8 = {"ID",   "群/公众号名称", "URL",        "来自",
                                              "简介", "行业",          "时间",       "地区",
                                              "标签", "微信号",        "二维码图片", "工作状态"};

// A row given in UTF-8, stored as the GBK the window holds.
SpreadsheetRow GbkRow(const std::vector<std::string>& utf8) {
    SpreadsheetRow row;
    for (std::size_t k = 0; k < utf8.size() && k < row.size(); ++k) row[k] = Utf8ToLocal(utf8[k]);
    return row;
}

// Checks the whole sheet: the title row, then `rows` (UTF-8), every non-empty cell a text, every
// empty one blank, nothing more.
void ExpectSheet(const std::string& path, const std::vector<std::vector<std::string>>& rows) {
    testing::ReadSheet sheet = testing::ReadWithFreexl(path);
    ASSERT_EQ(sheet.error, FREEXL_OK);
    EXPECT_EQ(sheet.sheetCount, 1u);
    EXPECT_EQ(sheet.biffVersion, unsigned{FREEXL_BIFF_VER_8});
    ASSERT_EQ(sheet.rows, rows.size() + 1) << "title row plus one row per table row, no more";
    ASSERT_EQ(sheet.columns, 12u);
    std::set<std::string> distinct;
    for (std::size_t r = 0; r <= rows.size(); ++r) {
        for (std::size_t c = 0; c < 12; ++c) {
            const std::vector<std::string>& source = r == 0 ? kTitlesUtf8 : rows[r - 1];
            std::string expected = c < source.size() ? source[c] : "";
            const testing::ReadCell& cell = sheet.cells[r][c];
            if (expected.empty()) {
                EXPECT_EQ(cell.type, FREEXL_CELL_NULL) << "cell " << r << "," << c;
            } else {
                distinct.insert(expected);
                EXPECT_EQ(cell.type, FREEXL_CELL_SST_TEXT) << "cell " << r << "," << c;
                EXPECT_EQ(cell.text, expected) << "cell " << r << "," << c;
            }
        }
    }
    EXPECT_EQ(sheet.stringCount, distinct.size()) << "each distinct text is stored once";
}

std::vector<SpreadsheetRow> ToGbk(const std::vector<std::vector<std::string>>& rows) {
    std::vector<SpreadsheetRow> out;
    for (const auto& row : rows) out.push_back(GbkRow(row));
    return out;
}

TEST(WriteSpreadsheet, EveryCellIsTextUnderTheTitleRow) {
    const std::string deleted = "文章已经删除";
    const std::vector<std::vector<std::string>> rows = {
        {"1", "深圳创业交流群", "http://demo.local/detail/1.html", "微信群", "简介：每天分享 创业经验",
         "互联网", "2024-01-05", "广东 深圳", "创业,交流", "0012345", "http://img.local/qr/1.jpg",
         "采集完成"},
        {"2", "已删除的号", "http://demo.local/detail/2.html", "公众号", deleted, deleted, deleted, deleted,
         deleted, deleted, deleted, "采集完成"},
        {"3", "", "", "", "", "", "", "", "", "", "", ""},  // a row still being filled
        {"4", "欧元€　全角空格", "", "个人号", "=1+1", "1E5", "12:30", "", "", "007", "", "正在采集中"},
        {"5", "深圳创业交流群", "", "", "", "", "", "", "", "", "", ""},  // a repeated title
    };
    testing::ScratchDir dir;
    std::string path = dir.File("data.xls");
    WriteResult result = WriteSpreadsheet(ToGbk(rows), path, ColumnTitleTexts());
    ASSERT_TRUE(result.ok) << result.reason;
    ExpectSheet(path, rows);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"data.xls"}) << "no temporary file is left behind";
}

TEST(WriteSpreadsheet, EmptyTableGivesTheTitleRowAlone) {
    testing::ScratchDir dir;
    std::string path = dir.File("data.xls");
    ASSERT_TRUE(WriteSpreadsheet({}, path, ColumnTitleTexts()));
    ExpectSheet(path, {});
}

TEST(WriteSpreadsheet, SixtyThousandDistinctAndLongTextsSurvive) {
    // 5,000 rows of twelve distinct texts. A 6,000-character text and, every 500 rows, long Chinese
    // and ASCII texts make the table's CONTINUE records split strings inside their characters.
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 5000; ++i) {
        std::string n = std::to_string(i);
        std::vector<std::string> row = {n,          "群" + n,   "http://d/" + n, "来源" + n,
                                        "简介" + n, "行业" + n, "时" + n,        "地区" + n,
                                        "标签" + n, "0" + n,    "http://q/" + n, "状态" + n};
        if (i % 500 == 0) {
            std::string chinese, ascii;
            for (int k = 0; k < (i == 0 ? 6000 : 1900); ++k) chinese += "长";
            ascii.assign(3900, 'a');
            row[4] += chinese;
            row[2] += ascii;
        }
        rows.push_back(std::move(row));
    }
    testing::ScratchDir dir;
    std::string path = dir.File("data.xls");
    ASSERT_TRUE(WriteSpreadsheet(ToGbk(rows), path, ColumnTitleTexts()));
    ExpectSheet(path, rows);

    testing::SharedStrings sst =
        testing::DecodeSharedStrings(testing::SplitRecords(testing::ReadWorkbookStream(path)));
    EXPECT_EQ(sst.problem, "");
    EXPECT_EQ(sst.strings.size(), 60012u);
    EXPECT_GT(sst.continueRecords, 10u);
    EXPECT_GE(sst.splitStrings, 1u);
    EXPECT_EQ(sst.strings[16].size(), 6003u) << "the 6,000-character text (after 12 titles and 4 cells)";
}

TEST(WriteSpreadsheet, ReplacesAnExistingFileWhole) {
    testing::ScratchDir dir;
    std::string path = dir.File("data.xls");
    std::vector<std::vector<std::string>> many(300, {"x", "旧数据"});
    ASSERT_TRUE(WriteSpreadsheet(ToGbk(many), path, ColumnTitleTexts()));
    const std::vector<std::vector<std::string>> one = {{"1", "新数据"}};
    ASSERT_TRUE(WriteSpreadsheet(ToGbk(one), path, ColumnTitleTexts()));
    ExpectSheet(path, one);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"data.xls"});
}

TEST(WriteSpreadsheet, TwoExportsToOneFileLeaveOneWholeWorkbook) {
    testing::ScratchDir dir;
    std::string path = dir.File("data.xls");
    const std::vector<std::vector<std::string>> a(2000, {"A", "甲"}), b(1000, {"B", "乙"});
    WriteResult ra, rb;
    std::thread first([&] { ra = WriteSpreadsheet(ToGbk(a), path, ColumnTitleTexts()); });
    std::thread second([&] { rb = WriteSpreadsheet(ToGbk(b), path, ColumnTitleTexts()); });
    first.join();
    second.join();
    ASSERT_TRUE(ra.ok) << ra.reason;
    ASSERT_TRUE(rb.ok) << rb.reason;
    testing::ReadSheet sheet = testing::ReadWithFreexl(path);
    ASSERT_EQ(sheet.error, FREEXL_OK);
    ASSERT_TRUE(sheet.rows == a.size() + 1 || sheet.rows == b.size() + 1) << sheet.rows;
    ExpectSheet(path, sheet.rows == a.size() + 1 ? a : b);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"data.xls"});
}

TEST(WriteSpreadsheet, FailureSaysWhyAndLeavesTheOldFile) {
    testing::ScratchDir dir;
    const std::string oldBytes = "the previous export";
    std::vector<SpreadsheetRow> rows(3000, GbkRow({"1", "内容", "http://demo.local/detail/1.html"}));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i][0] = std::to_string(i);  // distinct: a big table

    testing::WriteBytes(dir.File("plain.txt"), "a file, not a folder");
    std::filesystem::create_directories(dir.File("data.xls-dir/data.xls/inside"));
    struct Case {
        const char* what;
        std::string path;
        std::string keep;  // a file that must come through unchanged
        bool fullDisk;
    } cases[] = {
        {"missing folder", dir.File("missing/data.xls"), "", false},
        {"parent is a file", dir.File("plain.txt/data.xls"), dir.File("plain.txt"), false},
        {"folder not writable, even for root", "/sys/data.xls", "", false},
        {"target is a folder", dir.File("data.xls-dir/data.xls"), "", false},
        {"disk full", dir.File("data.xls"), dir.File("data.xls"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string before;
        if (!c.keep.empty()) {
            if (c.fullDisk) testing::WriteBytes(c.keep, oldBytes);
            before = testing::ReadBytes(c.keep);
        }
        std::vector<std::string> namesBefore = dir.Names();
        WriteResult result;
        if (c.fullDisk) {
            testing::FileSizeLimit limit(64 * 1024);
            result = WriteSpreadsheet(rows, c.path, ColumnTitleTexts());
        } else {
            result = WriteSpreadsheet(rows, c.path, ColumnTitleTexts());
        }
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.empty());
        if (!c.keep.empty()) {
            EXPECT_EQ(testing::ReadBytes(c.keep), before);
        }
        EXPECT_EQ(dir.Names(), namesBefore) << "no temporary file is left behind";
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("data.xls-dir/data.xls/inside")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(WriteSpreadsheet, RowsPastOneSheetGoOnOnTheNextUnderTheTitleRow) {
    testing::ScratchDir dir;
    const std::string path = dir.File("data.xls");
    constexpr std::size_t kRows = 70000;
    constexpr std::size_t kPerSheet = 65535;  // under the title row
    std::vector<SpreadsheetRow> rows(kRows);
    for (std::size_t i = 0; i < kRows; ++i) {
        rows[i][0] = std::to_string(i + 1);
        rows[i][1] = Utf8ToLocal("标题" + std::to_string(i + 1));
        rows[i][9] = "0" + std::to_string(i);  // digits with a leading zero stay text
    }
    ASSERT_TRUE(WriteSpreadsheet(rows, path, ColumnTitleTexts()));

    std::size_t next = 0;  // the next table row expected
    for (unsigned index = 0; index < 2; ++index) {
        SCOPED_TRACE("sheet " + std::to_string(index + 1));
        testing::ReadSheet sheet = testing::ReadWithFreexl(path, index);
        ASSERT_EQ(sheet.error, FREEXL_OK);
        EXPECT_EQ(sheet.sheetCount, 2u);
        EXPECT_EQ(sheet.sheetName, "Sheet" + std::to_string(index + 1));
        const std::size_t expectedRows = index == 0 ? kPerSheet : kRows - kPerSheet;
        ASSERT_EQ(sheet.rows, expectedRows + 1);
        ASSERT_EQ(sheet.columns, 12u);
        for (std::size_t c = 0; c < 12; ++c) EXPECT_EQ(sheet.cells[0][c].text, kTitlesUtf8[c]);
        for (std::size_t r = 1; r < sheet.rows; ++r, ++next) {
            const auto& cells = sheet.cells[r];
            ASSERT_EQ(cells[0].text, std::to_string(next + 1)) << "row " << r;
            ASSERT_EQ(cells[1].text, "标题" + std::to_string(next + 1));
            ASSERT_EQ(cells[9].type, FREEXL_CELL_SST_TEXT);
            ASSERT_EQ(cells[9].text, "0" + std::to_string(next));
            ASSERT_EQ(cells[2].type, FREEXL_CELL_NULL);
        }
    }
    EXPECT_EQ(next, kRows) << "every row, once, in order";
}

}  // namespace
}  // namespace tollenby
