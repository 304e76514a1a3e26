// The table's file formats side by side, for every front end: one entry that writes the table in a
// chosen format to a path, and what each format's file is called.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collect/result_rows.h"
#include "export/spreadsheet.h"
#include "export/write_result.h"

namespace tollenby {

enum class ExportFormat { Xls, Xlsx, Csv, JsonLines };

struct ExportSettings {
    bool csvByteOrderMark = true;
};

// "data.xls", "data.xlsx", "data.csv", "data.jsonl".
std::string_view ExportFileName(ExportFormat format);

// "xls", "xlsx", "csv", "jsonl" and back; none for any other name.
std::string_view ExportFormatName(ExportFormat format);
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);

// Writes the table (title row from kColumnTitles, then `rows`) in `format` to `filePath`, atomically.
WriteResult WriteTable(ExportFormat format, const std::vector<SpreadsheetRow>& rows,
                       const std::string& filePath, const ExportSettings& settings = {});

// Every row of a result list as it stands: the row count read once, rows that vanish meanwhile left out.
std::vector<SpreadsheetRow> TableRowsOf(const ResultRows& rows);

}  // namespace tollenby
