// The spreadsheet export: ResultList's rows as the worksheet of data.xls, every cell a text.
//
// Plain C++ so that the window can hand it a snapshot of the rows and run it off the GUI thread.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "export/write_result.h"
#include "text/gbk_text.h"

namespace tollenby {

inline constexpr std::size_t kSpreadsheetColumnCount = 12;
using SpreadsheetRow = std::array<Text, kSpreadsheetColumnCount>;  // GBK cells, as ResultList shows them

inline constexpr std::string_view kSpreadsheetFileName = "data.xls";

// ResultList's column titles in GBK, in column order: the worksheet's first row.
inline constexpr std::array<std::string_view, kSpreadsheetColumnCount> kColumnTitles = {
    "ID",
    "\xC8\xBA/\xB9\xAB\xD6\xDA\xBA\xC5\xC3\xFB\xB3\xC6",  // 群/公众号名称
    "URL",
    "\xC0\xB4\xD7\xD4",                          // 来自
    "\xBC\xF2\xBD\xE9",                          // 简介
    "\xD0\xD0\xD2\xB5",                          // 行业
    "\xCA\xB1\xBC\xE4",                          // 时间
    "\xB5\xD8\xC7\xF8",                          // 地区
    "\xB1\xEA\xC7\xA9",                          // 标签
    "\xCE\xA2\xD0\xC5\xBA\xC5",                  // 微信号
    "\xB6\xFE\xCE\xAC\xC2\xEB\xCD\xBC\xC6\xAC",  // 二维码图片
    "\xB9\xA4\xD7\xF7\xD7\xB4\xCC\xAC",          // 工作状态
};

// A fresh copy of kColumnTitles.
TextArray ColumnTitleTexts();

// Writes a BIFF8 workbook (.xls) to filePath (a file-system path): row 1 holds the column titles
// (the first twelve; missing ones stay blank), then one row per element of `rows`, columns A to L.
// A worksheet holds 65,535 rows under its title row: the rows past that go on, in order, on a second
// worksheet (and a third ...), each beginning with the title row again.
// Every cell is formatted "@" and stored as text; an empty text leaves its cell blank.
//
// The file is written under a temporary name in the same folder and renamed over filePath only once
// it is complete and synced, so a failed export leaves an existing file as it was. Fails, with the
// reason, when the workbook would pass the format's 2 GB, the folder is missing or not writable, or
// writing fails.
WriteResult WriteSpreadsheet(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                             const TextArray& columnTitles);

}  // namespace tollenby
