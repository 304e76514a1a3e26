// The table as comma-separated values: data.csv.
//
// UTF-8, by default after a byte-order mark (so spreadsheet programs take the Chinese texts as UTF-8),
// the title row first, every field quoted when it holds a comma, a double quote, CR or LF (a double
// quote inside doubled), every record ended by CR LF.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "export/spreadsheet.h"
#include "export/write_result.h"

namespace tollenby {

inline constexpr std::string_view kCsvFileName = "data.csv";

struct CsvOptions {
    bool byteOrderMark = true;
};

// One record, its fields already UTF-8, ended by CR LF.
std::string CsvRecord(const std::vector<std::string>& fields);

// Writes the whole table into an open stream (a file, standard output). Fails with the reason when the
// stream does; `name` names the stream in that reason.
WriteResult WriteCsvTo(std::FILE* out, const std::string& name, const std::vector<SpreadsheetRow>& rows,
                       const TextArray& columnTitles, const CsvOptions& options = {});

// Writes the file atomically: an existing file keeps its bytes when writing fails.
WriteResult WriteCsv(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                     const TextArray& columnTitles, const CsvOptions& options = {});

}  // namespace tollenby
