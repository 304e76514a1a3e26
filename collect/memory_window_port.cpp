#include "collect/memory_window_port.h"

namespace tollenby {

void MemoryWindowPort::SetKeywordText(const Text& text) {
    std::lock_guard guard(lock_);
    keywords_ = text;
}

void MemoryWindowPort::SetPageCountText(const Text& text) {
    std::lock_guard guard(lock_);
    pageCount_ = text;
}

void MemoryWindowPort::SetThreadCountText(const Text& text) {
    std::lock_guard guard(lock_);
    threadCount_ = text;
}

void MemoryWindowPort::SetTimeFilter(TimeFilter filter) {
    std::lock_guard guard(lock_);
    timeFilter_ = filter;
}

Text MemoryWindowPort::StatusText() const {
    std::lock_guard guard(lock_);
    return statusHistory_.empty() ? Text{} : statusHistory_.back();
}

std::vector<Text> MemoryWindowPort::StatusHistory() const {
    std::lock_guard guard(lock_);
    return statusHistory_;
}

bool MemoryWindowPort::CollectEnabled() const {
    std::lock_guard guard(lock_);
    return collectEnabled_;
}

std::size_t MemoryWindowPort::CollectEnabledChanges() const {
    std::lock_guard guard(lock_);
    return collectEnabledChanges_;
}

TextArray MemoryWindowPort::RegionItems() const {
    std::lock_guard guard(lock_);
    return regionItems_;
}

std::optional<std::size_t> MemoryWindowPort::SelectedRegion() const {
    std::lock_guard guard(lock_);
    return selectedRegion_;
}

Text MemoryWindowPort::SelectedRegionText() const {
    std::lock_guard guard(lock_);
    return selectedRegion_ ? regionItems_[*selectedRegion_] : Text{};
}

void MemoryWindowPort::SelectRegion(std::optional<std::size_t> index) {
    std::lock_guard guard(lock_);
    if (index && *index >= regionItems_.size()) index.reset();
    selectedRegion_ = index;
}

Text MemoryWindowPort::KeywordText() {
    std::lock_guard guard(lock_);
    return keywords_;
}

Text MemoryWindowPort::PageCountText() {
    std::lock_guard guard(lock_);
    return pageCount_;
}

Text MemoryWindowPort::ThreadCountText() {
    std::lock_guard guard(lock_);
    return threadCount_;
}

TimeFilter MemoryWindowPort::CheckedTimeFilter() {
    std::lock_guard guard(lock_);
    return timeFilter_;
}

void MemoryWindowPort::SetStatusText(const Text& text) {
    std::lock_guard guard(lock_);
    statusHistory_.push_back(text);
}

void MemoryWindowPort::SetCollectEnabled(bool enabled) {
    std::lock_guard guard(lock_);
    collectEnabled_ = enabled;
    ++collectEnabledChanges_;
}

void MemoryWindowPort::ClearRegionBox() {
    std::lock_guard guard(lock_);
    regionItems_.clear();
    selectedRegion_.reset();
}

void MemoryWindowPort::SetRegionItems(const TextArray& items) {
    std::lock_guard guard(lock_);
    regionItems_ = items;
    selectedRegion_ = items.empty() ? std::nullopt : std::optional<std::size_t>(0);
}

void MemoryWindowPort::ClearRows() {
    rows_.Clear();
}

RowId MemoryWindowPort::AppendRow(const Text& title, const Text& url, const Text& source) {
    return rows_.Append(title, url, source);
}

std::size_t MemoryWindowPort::RowCount() {
    return rows_.Count();
}

RowId MemoryWindowPort::RowAt(std::size_t index) {
    return rows_.IdAt(index);
}

Text MemoryWindowPort::Cell(RowId row, int column) {
    return rows_.Cell(row, column);
}

void MemoryWindowPort::SetCell(RowId row, int column, const Text& text) {
    rows_.SetCell(row, column, text);
}

void MemoryWindowPort::RunEnded(const RunSummary& summary) {
    std::lock_guard guard(lock_);
    summaries_.push_back(summary);
    runEnded_.notify_all();
}

std::vector<RunSummary> MemoryWindowPort::RunSummaries() const {
    std::lock_guard guard(lock_);
    return summaries_;
}

bool MemoryWindowPort::WaitForRunsEnded(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return runEnded_.wait_for(guard, timeout, [&] { return summaries_.size() >= count; });
}

}  // namespace tollenby
