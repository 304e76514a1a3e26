// The one door through which collection and export threads reach MainWindow.
//
// The window implements it (app/), tests and headless front ends use MemoryWindowPort. Every call may
// come from any thread and has taken effect when it returns: a later read from any thread sees it.
// No call waits for the GUI thread, so a worker can never deadlock against a window that is closing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/gbk_text.h"

namespace tollenby {

// The time filters, in the order the search job tests them.
enum class TimeFilter { OneMonth, OneWeek, OneDay, AllTime };

// The export options, in the order of the export group box.
enum class ExportOption { Spreadsheet, AllQrCodes, PersonalQrCodes, GroupQrCodes, ByRegion };

// ResultList columns.
enum Column : int {
    kColumnId = 0,
    kColumnTitle = 1,
    kColumnUrl = 2,
    kColumnSource = 3,
    kColumnDescription = 4,
    kColumnIndustry = 5,
    kColumnTime = 6,
    kColumnRegion = 7,
    kColumnTags = 8,
    kColumnAccountId = 9,
    kColumnQrImage = 10,
    kColumnStatus = 11,
};
inline constexpr int kColumnCount = 12;

// A row keeps its identity for life. Once the row is removed (Clear, or a new run), its identity names
// no row at all: writes to it land nowhere, even if another row now stands at its old position.
using RowId = std::uint64_t;
inline constexpr RowId kNoRow = 0;

// How a collection run ended, for front ends without a window.
struct RunSummary {
    std::size_t rows = 0;               // rows the run listed
    std::size_t rowsFailed = 0;         // rows of the run that read "采集失败"
    std::size_t searchPagesFailed = 0;  // search pages that could not be read
    bool stopped = false;               // Stop, a new Collect or the end of the Collector cut the run short
};

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    // Controls read by the collection threads, as they stand at the moment of the call.
    virtual Text KeywordText() = 0;      // the keyword box, GBK, lines ended by CR LF
    virtual Text PageCountText() = 0;    // the page-count box
    virtual Text ThreadCountText() = 0;  // the selected item of the thread-count box
    virtual TimeFilter CheckedTimeFilter() = 0;

    // Controls written by the collection threads.
    virtual void SetStatusText(const Text& text) = 0;
    virtual void SetCollectEnabled(bool enabled) = 0;
    virtual void ClearRegionBox() = 0;
    // Replaces the region box items and selects the first one (no selection when empty).
    virtual void SetRegionItems(const TextArray& items) = 0;

    // ResultList.
    virtual void ClearRows() = 0;
    // Appends a row with the title, detail address and source in columns 1 to 3 and, in column 0, the
    // row count right after the append (the row's position counted from 1). Returns its identity.
    virtual RowId AppendRow(const Text& title, const Text& url, const Text& source) = 0;
    virtual std::size_t RowCount() = 0;
    virtual RowId RowAt(std::size_t index) = 0;                         // kNoRow when out of range
    virtual Text Cell(RowId row, int column) = 0;                       // empty when the row is gone
    virtual void SetCell(RowId row, int column, const Text& text) = 0;  // no effect when the row is gone

    // Once per run, when it has ended: after its region box is filled, or when it is cut short (then
    // its workers may still be finishing rows). May come from any thread; it must not call back into
    // the Collector.
    virtual void RunEnded(const RunSummary& summary) { static_cast<void>(summary); }
};

}  // namespace tollenby
