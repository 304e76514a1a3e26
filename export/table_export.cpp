#include "export/table_export.h"

#include "export/csv_writer.h"
#include "export/jsonl_writer.h"
#include "export/xlsx_writer.h"

namespace tollenby {

std::string_view ExportFileName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Xls:
            return kSpreadsheetFileName;
        case ExportFormat::Xlsx:
            return kXlsxFileName;
        case ExportFormat::Csv:
            return kCsvFileName;
        case ExportFormat::JsonLines:
            return kJsonLinesFileName;
    }
    return {};
}

std::string_view ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Xls:
            return "xls";
        case ExportFormat::Xlsx:
            return "xlsx";
        case ExportFormat::Csv:
            return "csv";
        case ExportFormat::JsonLines:
            return "jsonl";
    }
    return {};
}

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
    for (ExportFormat format :
         {ExportFormat::Xls, ExportFormat::Xlsx, ExportFormat::Csv, ExportFormat::JsonLines}) {
        if (ExportFormatName(format) == name) return format;
    }
    return std::nullopt;
}

WriteResult WriteTable(ExportFormat format, const std::vector<SpreadsheetRow>& rows,
                       const std::string& filePath, const ExportSettings& settings) {
    const TextArray titles = ColumnTitleTexts();
    switch (format) {
        case ExportFormat::Xls:
            return WriteSpreadsheet(rows, filePath, titles);
        case ExportFormat::Xlsx:
            return WriteXlsx(rows, filePath, titles);
        case ExportFormat::Csv:
            return WriteCsv(rows, filePath, titles, {.byteOrderMark = settings.csvByteOrderMark});
        case ExportFormat::JsonLines:
            return WriteJsonLines(rows, filePath);
    }
    return WriteResult::Failure("未知的导出格式");
}

std::vector<SpreadsheetRow> TableRowsOf(const ResultRows& rows) {
    const std::size_t count = rows.Count();
    std::vector<SpreadsheetRow> table;
    table.reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        if (std::optional<RowCells> cells = rows.Cells(rows.IdAt(position)))
            table.push_back(std::move(*cells));
    }
    return table;
}

}  // namespace tollenby
