// The table as JSON lines: data.jsonl, one object per row.
//
// Each line is {"id":...,"title":...,"url":...,"source":...,"description":...,"industry":...,"time":...,
// "region":...,"tags":...,"account":...,"qr_image":...,"status":...} with every value a string, in
// UTF-8, ended by LF. Quotes, backslashes and control characters are escaped; other characters are
// written as they are.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "export/spreadsheet.h"
#include "export/write_result.h"

namespace tollenby {

inline constexpr std::string_view kJsonLinesFileName = "data.jsonl";

// The keys, in column order.
inline constexpr std::array<std::string_view, kSpreadsheetColumnCount> kJsonKeys = {
    "id",   "title",  "url",  "source",  "description", "industry",
    "time", "region", "tags", "account", "qr_image",    "status",
};

// `text` (UTF-8) as a JSON string, quotes included.
std::string JsonString(std::string_view text);

// One row as its line, LF included.
std::string JsonLine(const SpreadsheetRow& row);

// Writes every row into an open stream; `name` names it in a failure's reason.
WriteResult WriteJsonLinesTo(std::FILE* out, const std::string& name,
                             const std::vector<SpreadsheetRow>& rows);

// Writes the file atomically: an existing file keeps its bytes when writing fails.
WriteResult WriteJsonLines(const std::vector<SpreadsheetRow>& rows, const std::string& filePath);

}  // namespace tollenby
