#include "collect/result_rows.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tollenby {

namespace {
bool IsColumn(int column) {
    return column >= 0 && column < kColumnCount;
}
}  // namespace

RowId ResultRows::Append(const Text& title, const Text& url, const Text& source) {
    RowCells cells;
    cells[kColumnTitle] = title;
    cells[kColumnUrl] = url;
    cells[kColumnSource] = source;
    std::lock_guard guard(lock_);
    cells[kColumnId] = std::to_string(rows_.size() + 1);
    rows_.push_back(std::move(cells));
    return nextId_++;
}

RowId ResultRows::AppendCells(RowCells cells) {
    std::lock_guard guard(lock_);
    rows_.push_back(std::move(cells));
    return nextId_++;
}

void ResultRows::Clear() {
    std::deque<RowCells> old;
    {
        std::lock_guard guard(lock_);
        old.swap(rows_);
        firstId_ = nextId_;
        ++generation_;
        rowsAtLastTake_ = 0;
        anyDirty_ = false;
    }
    // Thousands of strings are freed here, outside the lock, so writers are not held up.
}

std::size_t ResultRows::Count() const {
    std::lock_guard guard(lock_);
    return rows_.size();
}

RowId ResultRows::IdAt(std::size_t position) const {
    std::lock_guard guard(lock_);
    return position < rows_.size() ? firstId_ + position : kNoRow;
}

std::optional<std::size_t> ResultRows::PositionOf(RowId row) const {
    std::lock_guard guard(lock_);
    return PositionLocked(row);
}

std::optional<std::size_t> ResultRows::PositionLocked(RowId row) const {
    if (row < firstId_ || row >= nextId_) return std::nullopt;
    return static_cast<std::size_t>(row - firstId_);
}

Text ResultRows::Cell(RowId row, int column) const {
    if (!IsColumn(column)) return {};
    std::lock_guard guard(lock_);
    auto position = PositionLocked(row);
    return position ? rows_[*position][column] : Text{};
}

Text ResultRows::CellAt(std::size_t position, int column) const {
    if (!IsColumn(column)) return {};
    std::lock_guard guard(lock_);
    return position < rows_.size() ? rows_[position][column] : Text{};
}

std::optional<RowCells> ResultRows::Cells(RowId row) const {
    std::lock_guard guard(lock_);
    auto position = PositionLocked(row);
    if (!position) return std::nullopt;
    return rows_[*position];
}

bool ResultRows::SetCell(RowId row, int column, const Text& text) {
    if (!IsColumn(column)) return false;
    std::lock_guard guard(lock_);
    auto position = PositionLocked(row);
    if (!position) return false;
    rows_[*position][column] = text;
    MarkDirtyLocked(*position);
    return true;
}

void ResultRows::MarkDirtyLocked(std::size_t position) {
    // Rows the poller has not been told about yet arrive whole with the next row count.
    if (position >= rowsAtLastTake_) return;
    if (!anyDirty_) {
        anyDirty_ = true;
        dirtyFirst_ = dirtyLast_ = position;
        return;
    }
    dirtyFirst_ = std::min(dirtyFirst_, position);
    dirtyLast_ = std::max(dirtyLast_, position);
}

RowChanges ResultRows::TakeChanges() {
    std::lock_guard guard(lock_);
    RowChanges changes;
    changes.generation = generation_;
    changes.rowCount = rows_.size();
    changes.anyDirty = anyDirty_;
    changes.dirtyFirst = dirtyFirst_;
    changes.dirtyLast = dirtyLast_;
    rowsAtLastTake_ = rows_.size();
    anyDirty_ = false;
    return changes;
}

std::uint64_t ResultRows::Generation() const {
    std::lock_guard guard(lock_);
    return generation_;
}

}  // namespace tollenby
