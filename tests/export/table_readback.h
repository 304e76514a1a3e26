// Reading the text formats back for the tests through tests/export/read_table.py: openpyxl for .xlsx,
// Python's csv and json modules for .csv and .jsonl, none of which shares code with our writers.
#pragma once

#include <string>
#include <vector>

namespace tollenby::testing {

struct TableCell {
    std::string type;    // "s" for a string, "blank" for an empty xlsx cell, else the reader's type
    std::string format;  // the xlsx number format
    std::string text;    // UTF-8
};

struct TableSheet {
    std::string name;
    std::vector<std::vector<TableCell>> rows;
};

struct ReadTable {
    bool ran = false;  // the reader ran and exited 0
    std::string output;
    bool byteOrderMark = false;     // csv
    std::vector<std::string> keys;  // jsonl: each row's keys, comma-separated, in order
    std::vector<TableSheet> sheets;
};

// format: "xlsx", "csv" or "jsonl".
ReadTable ReadTableBack(const std::string& format, const std::string& path);

}  // namespace tollenby::testing
