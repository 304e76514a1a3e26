#include "export/biff_writer.h"

#include <freexl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/compound_file.h"
#include "tests/export/xls_readback.h"

namespace tollenby {
namespace {

using testing::BiffRecord;

constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kCodePage = 0x0042, kFont = 0x0031, kXf = 0x00E0,
                        kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kExtSst = 0x00FF,
                        kDimensions = 0x0200, kLabelSst = 0x00FD, kBlank = 0x0201, kWindow2 = 0x023E;

unsigned U16(const std::string& d, std::size_t p) {
    return static_cast<unsigned char>(d[p]) | static_cast<unsigned char>(d[p + 1]) << 8;
}
unsigned U32(const std::string& d, std::size_t p) {
    return U16(d, p) | U16(d, p + 2) << 16;
}

const std::u16string kEmoji = u"\U0001F600";  // outside the BMP: a surrogate pair

std::u16string Repeat(std::u16string_view piece, std::size_t times) {
    std::u16string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string StreamOf(const std::vector<std::vector<std::u16string>>& rows, std::size_t columns) {
    BiffWorkbookWriter writer(columns);
    for (const auto& row : rows) EXPECT_TRUE(writer.AddRow(row));
    return writer.Finish();
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

WriteResult SaveXls(const std::string& stream, const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return WriteResult::Failure("cannot open " + path);
    return WriteCompoundFile(file.get(), path, "Workbook", stream);
}

// The records of the workbook-globals and worksheet substreams, checked for the layout every reader
// relies on; returns the worksheet's records.
std::vector<BiffRecord> CheckGlobalsAndFindSheet(const std::string& stream) {
    EXPECT_GE(stream.size(), 4096u) << "a short stream would land in the compound file's mini stream";
    std::vector<BiffRecord> records = testing::SplitRecords(stream);
    for (const BiffRecord& r : records) EXPECT_LE(r.data.size(), 8224u) << "record " << std::hex << r.type;
    // Records up to the last EOF; after it nothing but zero padding.
    std::size_t end = 0;
    for (const BiffRecord& r : records) {
        if (r.type == kEof) end = r.offset + 4;
    }
    EXPECT_EQ(stream.find_first_not_of('\0', end), std::string::npos) << "only zeros after the last EOF";
    while (!records.empty() && records.back().offset >= end) records.pop_back();
    EXPECT_GE(records.size(), 2u);
    if (records.size() < 2) return {};
    EXPECT_EQ(records[0].type, kBof);
    EXPECT_EQ(U16(records[0].data, 0), 0x0600u);
    EXPECT_EQ(U16(records[0].data, 2), 0x0005u);

    std::size_t fonts = 0, sheetOffset = 0;
    std::vector<const BiffRecord*> xfs;
    for (const BiffRecord& r : records) {
        if (r.type == kCodePage) {
            EXPECT_EQ(U16(r.data, 0), 1200u);
        }
        if (r.type == kFont) ++fonts;
        if (r.type == kXf) xfs.push_back(&r);
        if (r.type == kBoundSheet) sheetOffset = U32(r.data, 0);
        if (r.type == kEof) break;
    }
    EXPECT_EQ(fonts, 5u);
    EXPECT_EQ(xfs.size(), 17u);
    if (xfs.size() == 17) {
        EXPECT_EQ(U16(xfs[16]->data, 2), 49u) << "the cell format must be the built-in \"@\"";
        EXPECT_EQ(U16(xfs[16]->data, 4) & 0x0004, 0u) << "XF 16 must be a cell format, not a style";
        for (int i = 0; i < 15; ++i) EXPECT_NE(U16(xfs[i]->data, 4) & 0x0004, 0u) << "XF " << i;
    }
    std::vector<BiffRecord> sheet;
    for (const BiffRecord& r : records) {
        if (r.offset >= sheetOffset && sheetOffset != 0) sheet.push_back(r);
    }
    EXPECT_FALSE(sheet.empty());
    if (sheet.empty()) return {};
    EXPECT_EQ(sheet.front().offset, sheetOffset) << "BOUNDSHEET must point at the sheet's BOF";
    EXPECT_EQ(sheet.front().type, kBof);
    EXPECT_EQ(U16(sheet.front().data, 2), 0x0010u);
    EXPECT_EQ(sheet.back().type, kEof);
    EXPECT_EQ(sheet[sheet.size() - 2].type, kWindow2);
    return sheet;
}

TEST(BiffWorkbookWriter, RecordLayoutCellsAndStringIndex) {
    const std::vector<std::vector<std::u16string>> rows = {
        {u"ID", u"名称", u"URL"},
        {u"1", u"", u"http://a/1"},  // an empty cell in the middle
        {u"名称", u"00123"},         // a repeated text, a short row
        {},                          // a row with no text at all
    };
    std::string stream = StreamOf(rows, 3);
    std::vector<BiffRecord> records = testing::SplitRecords(stream);
    std::vector<BiffRecord> sheet = CheckGlobalsAndFindSheet(stream);
    testing::SharedStrings sst = testing::DecodeSharedStrings(records);
    ASSERT_EQ(sst.problem, "");
    const std::vector<std::u16string> expectedStrings = {u"ID", u"名称",       u"URL",
                                                         u"1",  u"http://a/1", u"00123"};
    EXPECT_EQ(sst.strings, expectedStrings) << "each distinct text once, in order of first use";
    EXPECT_EQ(sst.totalRefs, 7u);

    ASSERT_GE(sheet.size(), 3u);
    ASSERT_EQ(sheet[1].type, kDimensions);
    EXPECT_EQ(U32(sheet[1].data, 0), 0u);
    EXPECT_EQ(U32(sheet[1].data, 4), 4u) << "last row is exclusive";
    EXPECT_EQ(U16(sheet[1].data, 8), 0u);
    EXPECT_EQ(U16(sheet[1].data, 10), 3u) << "last column is exclusive";

    // Every cell of the 4 x 3 rectangle, row by row, each with XF 16.
    std::size_t cell = 0;
    for (const BiffRecord& r : sheet) {
        if (r.type != kLabelSst && r.type != kBlank) continue;
        std::size_t row = cell / 3, column = cell % 3;
        EXPECT_EQ(U16(r.data, 0), row);
        EXPECT_EQ(U16(r.data, 2), column);
        EXPECT_EQ(U16(r.data, 4), 16u) << "cell " << row << "," << column;
        const std::u16string expected = column < rows[row].size() ? rows[row][column] : u"";
        if (expected.empty()) {
            EXPECT_EQ(r.type, kBlank) << "cell " << row << "," << column;
        } else {
            EXPECT_EQ(r.type, kLabelSst) << "cell " << row << "," << column;
            if (r.type == kLabelSst) {
                std::size_t index = U32(r.data, 6);
                ASSERT_LT(index, sst.strings.size());
                EXPECT_EQ(sst.strings[index], expected) << "cell " << row << "," << column;
            }
        }
        ++cell;
    }
    EXPECT_EQ(cell, 12u);
}

TEST(BiffWorkbookWriter, LongAndNonBmpStringsSpanContinueRecordsIntact) {
    // Strings of emoji shifted by one unit each: without care some record boundary would fall
    // between the halves of a pair. A 20,000-character text spans several CONTINUE records; the
    // compressed texts are split inside their characters too.
    std::vector<std::vector<std::u16string>> rows;
    for (std::size_t shift = 0; shift < 6; ++shift) {
        rows.push_back({Repeat(u"x", shift) + Repeat(kEmoji, 2500 + shift)});
        rows.push_back({Repeat(u"abc", 1500 + shift)});
    }
    rows.push_back({Repeat(u"汉字", 10000)});
    rows.push_back({Repeat(u"z", 40000)});                           // longer than a cell holds
    rows.push_back({Repeat(u"y", kBiffMaxTextUnits - 1) + kEmoji});  // the cut falls inside the pair
    std::string stream = StreamOf(rows, 1);
    std::vector<BiffRecord> records = testing::SplitRecords(stream);
    CheckGlobalsAndFindSheet(stream);
    testing::SharedStrings sst = testing::DecodeSharedStrings(records);
    ASSERT_EQ(sst.problem, "");
    ASSERT_EQ(sst.strings.size(), rows.size());
    for (std::size_t i = 0; i + 2 < rows.size(); ++i) EXPECT_EQ(sst.strings[i], rows[i][0]) << "string " << i;
    EXPECT_EQ(sst.strings[rows.size() - 2], Repeat(u"z", kBiffMaxTextUnits));
    EXPECT_EQ(sst.strings[rows.size() - 1], Repeat(u"y", kBiffMaxTextUnits - 1));
    EXPECT_GE(sst.splitStrings, 6u);
    EXPECT_GE(sst.longestSpan, 5u);

    // EXTSST: each bucket names the stream offset of its first string and its place in its record.
    const BiffRecord* ext = nullptr;
    for (const BiffRecord& r : records) {
        if (r.type == kExtSst) ext = &r;
    }
    ASSERT_NE(ext, nullptr);
    std::size_t perBucket = U16(ext->data, 0);
    EXPECT_GE(perBucket, 8u);
    std::size_t buckets = (ext->data.size() - 2) / 8;
    EXPECT_EQ(buckets, (sst.strings.size() + perBucket - 1) / perBucket);
    for (std::size_t b = 0; b < buckets; ++b) {
        std::size_t start = U32(ext->data, 2 + 8 * b);
        EXPECT_EQ(start, sst.starts[b * perBucket]);
        const BiffRecord* holder = nullptr;
        for (const BiffRecord& r : records) {
            if (r.offset <= start && start < r.offset + 4 + r.data.size()) holder = &r;
        }
        ASSERT_NE(holder, nullptr);
        EXPECT_TRUE(holder->type == kSst || holder->type == kContinue);
        EXPECT_EQ(U16(ext->data, 6 + 8 * b), start - holder->offset);
    }
}

TEST(BiffWorkbookWriter, NonBmpAndLongTextsReadBackInFreexl) {
    // freexl joins a string from at most two records, so these stay below one record's size.
    const std::vector<std::vector<std::u16string>> rows = {
        {u"标题", u"emoji"},
        {u"笑脸" + kEmoji + u"!", kEmoji},
        {Repeat(u"长", 3000) + kEmoji, Repeat(u"L", 6000)},
    };
    testing::ScratchDir dir;
    std::string path = dir.File("utf16.xls");
    ASSERT_TRUE(SaveXls(StreamOf(rows, 2), path));
    testing::ReadSheet sheet = testing::ReadWithFreexl(path);
    ASSERT_EQ(sheet.error, FREEXL_OK);
    ASSERT_EQ(sheet.rows, 3u);
    ASSERT_EQ(sheet.columns, 2u);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < 2; ++c) {
            EXPECT_EQ(sheet.cells[r][c].type, FREEXL_CELL_SST_TEXT);
            EXPECT_EQ(sheet.cells[r][c].text, Utf8(rows[r][c])) << "cell " << r << "," << c;
        }
    }
}

TEST(BiffWorkbookWriter, RefusesRowsBeyondTheSheetAndGoesOnInTheNext) {
    BiffWorkbookWriter writer(1);
    const std::vector<std::u16string> row = {u"a"};
    for (std::size_t i = 0; i < kBiffMaxRows; ++i) ASSERT_TRUE(writer.AddRow(row));
    EXPECT_FALSE(writer.AddRow(row));
    EXPECT_EQ(writer.RowCount(), kBiffMaxRows);
    writer.StartSheet();
    const std::vector<std::u16string> last = {u"b"};
    EXPECT_TRUE(writer.AddRow(last));
    EXPECT_EQ(writer.SheetCount(), 2u);

    // Each BOUNDSHEET points at a worksheet BOF, and the second sheet's one row is its row 0.
    std::vector<testing::BiffRecord> records = testing::SplitRecords(writer.Finish());
    std::vector<std::size_t> bofs;
    std::vector<std::size_t> sheetOffsets;
    for (const auto& record : records) {
        if (record.type == 0x0809) bofs.push_back(record.offset);
        if (record.type == 0x0085) {
            std::uint32_t offset =
                static_cast<std::uint8_t>(record.data[0]) | static_cast<std::uint8_t>(record.data[1]) << 8 |
                static_cast<std::uint8_t>(record.data[2]) << 16 |
                static_cast<std::uint32_t>(static_cast<std::uint8_t>(record.data[3])) << 24;
            sheetOffsets.push_back(offset);
        }
    }
    ASSERT_EQ(bofs.size(), 3u) << "workbook globals and two worksheets";
    EXPECT_EQ(sheetOffsets, (std::vector<std::size_t>{bofs[1], bofs[2]}));
}

TEST(WriteCompoundFile, FullDiskIsAFailureWithItsReason) {
    std::unique_ptr<std::FILE, FileCloser> full(std::fopen("/dev/full", "wb"));
    ASSERT_TRUE(full);
    std::string stream = StreamOf({{Repeat(u"数据", 50000)}}, 1);
    WriteResult result = WriteCompoundFile(full.get(), "/x/data.xls", "Workbook", stream);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("/x/data.xls"), std::string::npos) << result.reason;
    EXPECT_NE(result.reason.find(g_strerror(ENOSPC)), std::string::npos) << result.reason;
}

}  // namespace
}  // namespace tollenby
