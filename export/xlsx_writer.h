// The table as an Office Open XML workbook: data.xlsx, through libxlsxwriter.
//
// The first worksheet carries the title row, then one row per table row in columns A to L. Every cell
// has the text format "@" and a non-empty one holds its text as a string, so digits with leading zeros
// and date-like texts stay as they were; an empty text leaves its cell blank, still formatted "@".
// A worksheet holds 1,048,575 rows under its title row; rows past that go on, title row first, on the
// next worksheet. The workbook is written in libxlsxwriter's constant-memory mode: each row goes to a
// temporary file as it is added, so memory does not grow with the table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/spreadsheet.h"
#include "export/write_result.h"

namespace tollenby {

inline constexpr std::string_view kXlsxFileName = "data.xlsx";
inline constexpr std::size_t kXlsxMaxRows = 1048576;

// Writes the file atomically: an existing file keeps its bytes when writing fails.
WriteResult WriteXlsx(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                      const TextArray& columnTitles);

}  // namespace tollenby
