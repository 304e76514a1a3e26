#include "export/spreadsheet.h"

#include <filesystem>

#include "export/atomic_file.h"
#include "export/biff_writer.h"
#include "export/compound_file.h"
#include "export/errno_text.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

// Stream offsets inside the workbook and the compound file's own sizes are 32-bit; past 2 GB readers
// (and libgsf) part ways.
constexpr std::size_t kMaxStreamBytes = 0x7FFFFFFF;

// Each worksheet begins with the title row; a table longer than one sheet holds goes on, in order, on
// the next sheet.
ByteString BuildWorkbookStream(const std::vector<SpreadsheetRow>& rows, const TextArray& columnTitles) {
    BiffWorkbookWriter sheet(kSpreadsheetColumnCount);
    std::vector<std::u16string> titles(kSpreadsheetColumnCount);
    for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) {
        titles[k] = k < columnTitles.size() ? GbkToUtf16(columnTitles[k]) : std::u16string();
    }
    std::vector<std::u16string> cells(kSpreadsheetColumnCount);
    sheet.AddRow(titles);
    for (const SpreadsheetRow& row : rows) {
        for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) cells[k] = GbkToUtf16(row[k]);
        if (!sheet.AddRow(cells)) {
            sheet.StartSheet();
            sheet.AddRow(titles);
            sheet.AddRow(cells);
        }
    }
    return sheet.Finish();
}

}  // namespace

TextArray ColumnTitleTexts() {
    return TextArray(kColumnTitles.begin(), kColumnTitles.end());
}

WriteResult WriteSpreadsheet(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                             const TextArray& columnTitles) {
    std::filesystem::path target(filePath);
    if (!target.has_filename()) return WriteResult::Failure("文件路径 " + filePath + " 没有文件名");

    // Everything is built in memory first, so nothing on disk is touched before the data is ready.
    ByteString stream = BuildWorkbookStream(rows, columnTitles);
    if (stream.size() > kMaxStreamBytes) {
        return WriteResult::Failure("表格内容共 " + std::to_string(stream.size() >> 20) +
                                    " MB，超过 .xls 文件能容纳的 2 GB");
    }

    AtomicFile file(filePath);
    if (WriteResult opened = file.Open(); !opened) return opened;
    if (WriteResult written = WriteCompoundFile(file.File(), filePath, "Workbook", stream); !written) {
        return written;
    }
    return file.Commit();
}

}  // namespace tollenby
