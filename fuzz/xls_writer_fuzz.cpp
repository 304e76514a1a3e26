// The .xls writer over arbitrary tables: cells of any GBK bytes, empty cells, cells longer than a
// worksheet cell holds, many rows. Each table is written and read back with libfreexl; every cell
// must come back as written (a text cut at the cell limit when it is longer), every empty one blank.
// Tables with cells too long for libfreexl are read with the export tests' record walker instead.
#include <freexl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "export/biff_writer.h"
#include "export/spreadsheet.h"
#include "fuzz/fuzz_support.h"
#include "tests/export/xls_readback.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
using fuzz::Check;

// UTF-16 (surrogate pairs joined, a lone surrogate as U+FFFD) to UTF-8, as libfreexl hands texts out.
std::string ToUtf8(std::u16string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// What a cell should read back as: its characters, cut at the cell limit.
std::string Expected(const Text& cell) {
    std::u16string units = GbkToUtf16(cell);
    if (units.size() > kBiffMaxTextUnits) units.resize(kBiffMaxTextUnits);
    return ToUtf8(units);
}

// The table an input describes: option bits, then cells parted by zero bytes, twelve to a row. The
// low four bits repeat the rows (up to 481 times); bit 7 stretches the first cell past the limit.
std::vector<SpreadsheetRow> TableOf(const std::uint8_t* data, std::size_t size) {
    auto [bits, rest] = fuzz::TakeOptions(fuzz::AsBytes(data, size));
    std::vector<SpreadsheetRow> rows;
    SpreadsheetRow row;
    std::size_t column = 0;
    for (std::string_view cell : fuzz::Pieces(rest, 12 * 8)) {
        row[column++] = Text(CutAtZero(cell));
        if (column == kSpreadsheetColumnCount) {
            rows.push_back(row);
            row = {};
            column = 0;
        }
    }
    if (column > 0) rows.push_back(row);
    while (!rows.empty() && rows.back() == SpreadsheetRow{}) rows.pop_back();
    if ((bits & 0x80) && !rows.empty() && !rows[0][0].empty()) {
        Text longCell;
        while (longCell.size() <= kBiffMaxTextUnits * 2) longCell += rows[0][0];
        rows[0][0] = longCell;
    }
    // Long texts are slow to check, so a table with one is not repeated.
    const std::size_t copies = (bits & 0x80) ? 1 : 1 + (bits & 0x0F) * 32;
    const std::size_t distinct = rows.size();
    for (std::size_t c = 1; c < copies; ++c) {
        for (std::size_t r = 0; r < distinct; ++r) rows.push_back(rows[r]);
    }
    return rows;
}

// libfreexl 1.0.6 cannot read a shared string whose characters run over more than one CONTINUE record
// (about 8,200 stored bytes): it cuts the text there or rejects the workbook, while the record rules
// allow any number of CONTINUE records. Tables with such cells are checked with the record walker of
// the export tests instead, which decodes the shared-string table by those rules.
void CheckWithRecordWalker(const std::string& path, const std::vector<SpreadsheetRow>& rows) {
    testing::SharedStrings sst =
        testing::DecodeSharedStrings(testing::SplitRecords(testing::ReadWorkbookStream(path)));
    Check(sst.problem.empty(), "the shared-string table breaks the record rules");
    std::set<std::u16string> stored(sst.strings.begin(), sst.strings.end());
    for (const SpreadsheetRow& row : rows) {
        for (const Text& cell : row) {
            if (cell.empty()) continue;
            std::u16string units = GbkToUtf16(cell);
            if (units.size() > kBiffMaxTextUnits) units.resize(kBiffMaxTextUnits);
            Check(stored.count(units) == 1, "a cell's text is not in the shared-string table");
        }
    }
}

void CheckWithFreexl(const std::string& path, const std::vector<SpreadsheetRow>& rows) {
    testing::ReadSheet sheet = testing::ReadWithFreexl(path);
    Check(sheet.error == FREEXL_OK, "libfreexl cannot read the workbook");
    Check(sheet.rows == rows.size() + 1 && sheet.columns == kSpreadsheetColumnCount, "wrong sheet size");
    for (std::size_t r = 0; r <= rows.size(); ++r) {
        for (std::size_t c = 0; c < kSpreadsheetColumnCount; ++c) {
            const Text cellText = r == 0 ? Text(kColumnTitles[c]) : rows[r - 1][c];
            const testing::ReadCell& cell = sheet.cells[r][c];
            if (cellText.empty()) {
                Check(cell.type == FREEXL_CELL_NULL, "an empty cell is not blank");
            } else {
                Check(cell.type == FREEXL_CELL_SST_TEXT, "a cell is not a text");
                Check(cell.text == Expected(cellText), "a cell did not come back as written");
            }
        }
    }
}

// At most the stored bytes of the longest cell: two per UTF-16 unit, and a GBK byte gives at most one.
std::size_t LongestStoredCell(const std::vector<SpreadsheetRow>& rows) {
    std::size_t longest = 0;
    for (const SpreadsheetRow& row : rows) {
        for (const Text& cell : row)
            longest = std::max(longest, 2 * std::min(cell.size(), kBiffMaxTextUnits));
    }
    return longest;
}

constexpr std::size_t kFreexlLongestString = 8000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<SpreadsheetRow> rows = TableOf(data, size);
    testing::ScratchDir dir;
    Check(!dir.Path().empty(), "no scratch folder");
    const std::string path = dir.File("data.xls");
    WriteResult written = WriteSpreadsheet(rows, path, ColumnTitleTexts());
    Check(written.ok, "writing the workbook failed");
    if (LongestStoredCell(rows) > kFreexlLongestString) {
        CheckWithRecordWalker(path, rows);
    } else {
        CheckWithFreexl(path, rows);
    }
    return 0;
}
