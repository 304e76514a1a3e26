#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "export/jsonl_writer.h"
#include "export/table_export.h"
#include "export/xlsx_writer.h"
#include "tests/export/table_readback.h"
#include "tests/export/xls_readback.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

const std::vector<std::string> kTitlesUtf8 = {"ID",   "群/公众号名称", "URL",        "来自",
                                              "简介", "行业",          "时间",       "地区",
                                              "标签", "微信号",        "二维码图片", "工作状态"};

// Rows that trip up careless writers, in UTF-8: separators, quotes and line ends inside fields,
// digits with leading zeros, a date-like time, backslashes, a text that looks like an Office Open XML
// escape, control characters, the euro sign (GBK 0x80) and empty cells.
const std::vector<std::vector<std::string>> kRowsUtf8 = {
    {"1", "美食, \"好吃\" 群", "http://demo.local/detail/1.html", "微信群", "第一行\r\n第二行\n第三行\r末尾",
     "餐饮", "2024-01-02", "上海", "a\\b _x0041_", "007", "http://img.demo.local/1.gif", "采集完成"},
    {"2", "控制\x01字符\t与\x1F", "", "个人微信", "", "", "", "", "", "", "", ""},
    {"3", "€100", "u", "公众号", "文章已经删除", "文章已经删除", "文章已经删除", "文章已经删除",
     "文章已经删除", "文章已经删除", "文章已经删除", "采集完成"},
};

std::vector<SpreadsheetRow> GbkRows(const std::vector<std::vector<std::string>>& utf8) {
    std::vector<SpreadsheetRow> rows;
    for (const auto& source : utf8) {
        SpreadsheetRow row;
        for (std::size_t k = 0; k < row.size(); ++k) row[k] = Utf8ToLocal(source[k]);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Texts(const std::vector<testing::TableCell>& cells) {
    std::vector<std::string> texts;
    for (const auto& cell : cells) texts.push_back(cell.text);
    return texts;
}

TEST(TableFormats, XlsxHoldsEveryCellAsTextUnderTheTitleRow) {
    testing::ScratchDir dir;
    const std::string path = dir.File("data.xlsx");
    ASSERT_TRUE(WriteXlsx(GbkRows(kRowsUtf8), path, ColumnTitleTexts()));
    testing::ReadTable table = testing::ReadTableBack("xlsx", path);
    ASSERT_TRUE(table.ran) << table.output;
    ASSERT_EQ(table.sheets.size(), 1u);
    const auto& rows = table.sheets[0].rows;
    ASSERT_EQ(rows.size(), kRowsUtf8.size() + 1);
    EXPECT_EQ(Texts(rows[0]), kTitlesUtf8);
    for (std::size_t r = 0; r < kRowsUtf8.size(); ++r) {
        ASSERT_EQ(rows[r + 1].size(), 12u);
        for (std::size_t c = 0; c < 12; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            const auto& cell = rows[r + 1][c];
            EXPECT_EQ(cell.format, "@");
            EXPECT_EQ(cell.type, kRowsUtf8[r][c].empty() ? "blank" : "s");
            EXPECT_EQ(cell.text, kRowsUtf8[r][c]);
        }
    }
}

TEST(TableFormats, CsvIsRfc4180WithCrLfAndAnOptionalByteOrderMark) {
    testing::ScratchDir dir;
    for (bool bom : {true, false}) {
        SCOPED_TRACE(bom ? "with BOM" : "without BOM");
        const std::string path = dir.File(bom ? "bom.csv" : "plain.csv");
        ASSERT_TRUE(WriteCsv(GbkRows(kRowsUtf8), path, ColumnTitleTexts(), {.byteOrderMark = bom}));
        testing::ReadTable table = testing::ReadTableBack("csv", path);
        ASSERT_TRUE(table.ran) << table.output;
        EXPECT_EQ(table.byteOrderMark, bom);
        ASSERT_EQ(table.sheets.size(), 1u);
        const auto& rows = table.sheets[0].rows;
        ASSERT_EQ(rows.size(), kRowsUtf8.size() + 1);
        EXPECT_EQ(Texts(rows[0]), kTitlesUtf8);
        for (std::size_t r = 0; r < kRowsUtf8.size(); ++r) EXPECT_EQ(Texts(rows[r + 1]), kRowsUtf8[r]);

        // Every record ends in CR LF; line ends inside fields are kept as they were.
        const std::string bytes = testing::ReadBytes(path);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        EXPECT_EQ(bytes.substr(0, bom ? 5 : 2), bom ? "\xEF\xBB\xBFID" : "ID");
        EXPECT_NE(bytes.find("\"美食, \"\"好吃\"\" 群\""), std::string::npos)
            << "quotes doubled inside quotes";
    }
}

TEST(TableFormats, JsonLinesHoldOneObjectOfStringsPerRow) {
    testing::ScratchDir dir;
    const std::string path = dir.File("data.jsonl");
    ASSERT_TRUE(WriteJsonLines(GbkRows(kRowsUtf8), path));
    testing::ReadTable table = testing::ReadTableBack("jsonl", path);
    ASSERT_TRUE(table.ran) << table.output;
    ASSERT_EQ(table.sheets.size(), 1u);
    const auto& rows = table.sheets[0].rows;
    ASSERT_EQ(rows.size(), kRowsUtf8.size()) << "no title line";
    for (std::size_t r = 0; r < kRowsUtf8.size(); ++r) {
        EXPECT_EQ(table.keys[r],
                  "id,title,url,source,description,industry,time,region,tags,account,qr_image,status");
        EXPECT_EQ(Texts(rows[r]), kRowsUtf8[r]);
        for (const auto& cell : rows[r]) EXPECT_EQ(cell.type, "str");
    }
    const std::string bytes = testing::ReadBytes(path);
    EXPECT_NE(bytes.find("\\u0001"), std::string::npos);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3) << "LF only between objects";
}

TEST(TableFormats, EveryFormatOfAnEmptyTableAndEveryFailureKeepsTheOldFile) {
    testing::ScratchDir dir;
    for (ExportFormat format :
         {ExportFormat::Xls, ExportFormat::Xlsx, ExportFormat::Csv, ExportFormat::JsonLines}) {
        SCOPED_TRACE(std::string(ExportFormatName(format)));
        EXPECT_EQ(ExportFormatNamed(ExportFormatName(format)), format);
        const std::string path = dir.File(std::string(ExportFileName(format)));
        ASSERT_TRUE(WriteTable(format, {}, path));
        EXPECT_EQ(testing::ReadBytes(path).empty(), format == ExportFormat::JsonLines)
            << "a title row, or no line";

        WriteResult missing = WriteTable(format, GbkRows(kRowsUtf8),
                                         dir.File("missing/") + std::string(ExportFileName(format)));
        EXPECT_FALSE(missing.ok);
        EXPECT_NE(missing.reason.find(dir.File("missing")), std::string::npos) << missing.reason;

        // A write that fails half-way (here: past the file-size limit, as on a full disk).
        testing::WriteBytes(path, "old");
        std::vector<SpreadsheetRow> big = GbkRows(kRowsUtf8);
        for (int i = 0; i < 12; ++i) big.insert(big.end(), big.begin(), big.end());  // 12,288 rows
        WriteResult full;
        {
            testing::FileSizeLimit limit(16 * 1024);
            full = WriteTable(format, big, path);
        }
        EXPECT_FALSE(full.ok);
        EXPECT_FALSE(full.reason.empty());
        EXPECT_TRUE(testing::ReadBytes(path) == "old");
    }
    EXPECT_EQ(ExportFormatNamed("xlsm"), std::nullopt);
    EXPECT_EQ(dir.Names().size(), 4u) << "no temporary file is left behind";
}

}  // namespace
}  // namespace tollenby
