// What the command-line tests share: the demo site, the rows a run over it should list, and reading a
// run's files back.
#pragma once

#include <string>
#include <vector>

#include "demo/demo_content.h"
#include "demo/demo_site.h"

namespace tollenby::testing {

using Row = std::vector<std::string>;  // twelve UTF-8 cells

// What the site holds for the keywords' first `pages` pages, in run order.
std::vector<demo::DemoEntry> ExpectedEntries(const demo::DemoSite& site,
                                             const std::vector<std::string>& keywords, int pages);

// A finished row as the table shows it: its number, the search columns, the detail columns, "采集完成".
Row ExpectedRow(const demo::DemoEntry& entry, std::size_t number);
std::vector<Row> ExpectedRows(const std::vector<demo::DemoEntry>& entries);

// A keyword whose first page holds at least one entry whose QR image is missing (404), and one whose
// first page holds none; found by asking the site's content.
std::string KeywordWithMissingImage(const demo::DemoSite& site);
std::string KeywordWithAllImages(const demo::DemoSite& site);

// The data rows (title row left out) of a written file, read by a reader of its own: "xls" (libfreexl,
// every sheet), "xlsx", "csv", "jsonl" (through tests/export/read_table.py). `error` says what failed.
std::vector<Row> ReadRows(const std::string& format, const std::string& path, std::string& error);

}  // namespace tollenby::testing
