// The rows behind ResultList, shared by the collection threads and the window.
//
// Every row has twelve cells and an identity that is never reused: after Clear, the identities handed
// out before name no row, so a late worker's write lands nowhere instead of in a stranger's row.
// One mutex guards everything; each call holds it briefly. The window does not get a callback per
// change: it polls TakeChanges() on its own thread and repaints in batches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

using RowCells = std::array<Text, kColumnCount>;

// What changed since the previous TakeChanges().
struct RowChanges {
    std::uint64_t generation = 0;  // bumped by every Clear
    std::size_t rowCount = 0;      // rows now held
    // Positions [dirtyFirst, dirtyLast] hold cells written since the previous call. Only rows that
    // already existed at that call count: new rows are told by rowCount, a Clear by generation.
    bool anyDirty = false;
    std::size_t dirtyFirst = 0;
    std::size_t dirtyLast = 0;
};

class ResultRows {
  public:
    // Appends a row with title, URL and source in columns 1 to 3 and the new row count in column 0.
    RowId Append(const Text& title, const Text& url, const Text& source);
    // Appends a full row as given (column 0 included).
    RowId AppendCells(RowCells cells);
    void Clear();

    std::size_t Count() const;
    RowId IdAt(std::size_t position) const;  // kNoRow when out of range
    std::optional<std::size_t> PositionOf(RowId row) const;

    Text Cell(RowId row, int column) const;  // empty for a row that is gone or a bad column
    Text CellAt(std::size_t position, int column) const;
    std::optional<RowCells> Cells(RowId row) const;
    // Returns false, changing nothing, for a row that is gone or a bad column.
    bool SetCell(RowId row, int column, const Text& text);

    RowChanges TakeChanges();
    std::uint64_t Generation() const;

  private:
    std::optional<std::size_t> PositionLocked(RowId row) const;
    void MarkDirtyLocked(std::size_t position);

    mutable std::mutex lock_;
    std::deque<RowCells> rows_;  // a deque: appends never move existing rows
    RowId firstId_ = 1;          // identity of rows_[0]; identities run on from it without gaps
    RowId nextId_ = 1;
    std::uint64_t generation_ = 0;
    std::size_t rowsAtLastTake_ = 0;
    bool anyDirty_ = false;
    std::size_t dirtyFirst_ = 0;
    std::size_t dirtyLast_ = 0;
};

}  // namespace tollenby
