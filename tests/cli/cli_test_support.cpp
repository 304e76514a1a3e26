#include "tests/cli/cli_test_support.h"

#include <freexl.h>

#include "tests/export/table_readback.h"
#include "tests/export/xls_readback.h"

namespace tollenby::testing {

std::vector<demo::DemoEntry> ExpectedEntries(const demo::DemoSite& site,
                                             const std::vector<std::string>& keywords, int pages) {
    std::vector<demo::DemoEntry> entries;
    for (const std::string& keyword : keywords) {
        for (int page = 1; page <= pages; ++page) {
            for (demo::DemoEntry& entry : site.ExpectedEntries(keyword, page))
                entries.push_back(std::move(entry));
        }
    }
    return entries;
}

Row ExpectedRow(const demo::DemoEntry& entry, std::size_t number) {
    return {std::to_string(number), entry.title, entry.url,    entry.source, entry.description,
            entry.industry,         entry.time,  entry.region, entry.tags,   entry.accountId,
            entry.qrImage,          "采集完成"};
}

std::vector<Row> ExpectedRows(const std::vector<demo::DemoEntry>& entries) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < entries.size(); ++i) rows.push_back(ExpectedRow(entries[i], i + 1));
    return rows;
}

namespace {

bool HasMissingImage(const demo::DemoSite& site, const std::string& keyword) {
    for (const demo::DemoEntry& entry : site.ExpectedEntries(keyword, 1)) {
        if (!entry.deleted && entry.qrImageMissing) return true;
    }
    return false;
}

std::string FindKeyword(const demo::DemoSite& site, bool missing) {
    for (int i = 0; i < 1000; ++i) {
        std::string keyword = "kw" + std::to_string(i);
        if (!site.ExpectedEntries(keyword, 1).empty() && HasMissingImage(site, keyword) == missing)
            return keyword;
    }
    return {};
}

}  // namespace

std::string KeywordWithMissingImage(const demo::DemoSite& site) {
    return FindKeyword(site, true);
}

std::string KeywordWithAllImages(const demo::DemoSite& site) {
    return FindKeyword(site, false);
}

std::vector<Row> ReadRows(const std::string& format, const std::string& path, std::string& error) {
    std::vector<Row> rows;
    if (format == "xls") {
        for (unsigned sheetIndex = 0;; ++sheetIndex) {
            ReadSheet sheet = ReadWithFreexl(path, sheetIndex);
            if (sheet.error != FREEXL_OK) {
                error = "freexl error " + std::to_string(sheet.error);
                return rows;
            }
            for (std::size_t r = 1; r < sheet.cells.size(); ++r) {
                Row row;
                for (const ReadCell& cell : sheet.cells[r]) row.push_back(cell.text);
                rows.push_back(row);
            }
            if (sheetIndex + 1 >= sheet.sheetCount) return rows;
        }
    }
    ReadTable table = ReadTableBack(format, path);
    if (!table.ran || table.sheets.empty()) {
        error = "reader failed: " + table.output;
        return rows;
    }
    for (TableSheet& sheet : table.sheets) {
        for (std::size_t r = format == "jsonl" ? 0 : 1; r < sheet.rows.size(); ++r) {
            Row row;
            for (TableCell& cell : sheet.rows[r]) row.push_back(cell.text);
            rows.push_back(row);
        }
    }
    return rows;
}

}  // namespace tollenby::testing
