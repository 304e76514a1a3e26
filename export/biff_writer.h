// The BIFF8 record writer: builds the "Workbook" stream of an Excel 97-2003 workbook with one or more
// worksheets (Sheet1, Sheet2, ...), which share one string table.
//
// Every cell of the sheet's rectangle gets the built-in text format "@": a non-empty text is stored once
// in the shared-string table and referenced by a LABELSST cell, an empty one becomes a BLANK cell. The
// stream still has to be put into an OLE2 compound file (export/compound_file.h) to become a .xls file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/gbk_text.h"

namespace tollenby {

inline constexpr std::size_t kBiffMaxRows = 65536;
inline constexpr std::size_t kBiffMaxColumns = 256;
// The longest text a cell can hold; longer texts are cut there (never between the halves of a
// surrogate pair).
inline constexpr std::size_t kBiffMaxTextUnits = 32767;

class BiffWorkbookWriter {
  public:
    // columnCount is clamped to 1..kBiffMaxColumns.
    explicit BiffWorkbookWriter(std::size_t columnCount);

    // Appends the next row of the current worksheet, top to bottom: missing cells are blank, cells
    // beyond the column count are ignored. Returns false, adding nothing, when the worksheet already
    // holds kBiffMaxRows rows.
    bool AddRow(std::span<const std::u16string> cells);

    // Starts the next worksheet; the rows added from now on go there. The first worksheet exists from
    // the start.
    void StartSheet();

    std::size_t RowCount() const { return rowCount_; }  // of the current worksheet
    std::size_t SheetCount() const { return sheetRows_.size(); }
    std::size_t ColumnCount() const { return columnCount_; }

    // The complete stream: workbook globals (with the shared-string table), then the worksheet; a short
    // stream is padded with zero bytes after its last record to 4096 bytes.
    ByteString Finish() const;

  private:
    static constexpr std::uint32_t kBlankCell = UINT32_MAX;

    std::uint32_t InternString(const std::u16string& text);

    std::size_t columnCount_;
    std::size_t rowCount_ = 0;
    std::vector<std::size_t> sheetRows_{0};  // rows of each worksheet; the last is the current one
    std::vector<std::uint32_t> cells_;       // every worksheet's rows in turn; a string index or kBlankCell
    std::size_t textCellCount_ = 0;
    std::unordered_map<std::u16string, std::uint32_t> stringIndex_;
    std::vector<const std::u16string*> strings_;  // in index order; the keys of stringIndex_
};

}  // namespace tollenby
