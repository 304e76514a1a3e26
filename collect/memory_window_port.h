// WindowPort in memory: for tests and for running collection without a window.
//
// The reads hand back what a test put in with the setters; the writes are recorded so a test can see
// what a job showed (every status text in order, the Collect button, the region box) and the rows
// sit in a ResultRows. Every member is safe to call from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "collect/result_rows.h"
#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

class MemoryWindowPort : public WindowPort {
  public:
    // What the controls hold, as a user would have set them.
    void SetKeywordText(const Text& text);
    void SetPageCountText(const Text& text);
    void SetThreadCountText(const Text& text);
    void SetTimeFilter(TimeFilter filter);

    // What the jobs wrote.
    Text StatusText() const;                  // the last status text, empty before any
    std::vector<Text> StatusHistory() const;  // every status text in the order it was set
    bool CollectEnabled() const;
    std::size_t CollectEnabledChanges() const;  // how many times SetCollectEnabled was called
    TextArray RegionItems() const;
    std::optional<std::size_t> SelectedRegion() const;    // index into RegionItems(), none when empty
    Text SelectedRegionText() const;                      // empty when nothing is selected
    void SelectRegion(std::optional<std::size_t> index);  // as a user picking an item

    std::vector<RunSummary> RunSummaries() const;  // every RunEnded, in order
    // Waits until `count` runs have ended; false on time-out.
    bool WaitForRunsEnded(std::size_t count, std::chrono::milliseconds timeout) const;

    ResultRows& Rows() { return rows_; }
    const ResultRows& Rows() const { return rows_; }

    // WindowPort.
    Text KeywordText() override;
    Text PageCountText() override;
    Text ThreadCountText() override;
    TimeFilter CheckedTimeFilter() override;
    void SetStatusText(const Text& text) override;
    void SetCollectEnabled(bool enabled) override;
    void ClearRegionBox() override;
    void SetRegionItems(const TextArray& items) override;
    void ClearRows() override;
    RowId AppendRow(const Text& title, const Text& url, const Text& source) override;
    std::size_t RowCount() override;
    RowId RowAt(std::size_t index) override;
    Text Cell(RowId row, int column) override;
    void SetCell(RowId row, int column, const Text& text) override;
    void RunEnded(const RunSummary& summary) override;

  private:
    mutable std::mutex lock_;
    mutable std::condition_variable runEnded_;
    std::vector<RunSummary> summaries_;
    // The controls' starting values are the window's.
    Text keywords_;
    Text pageCount_ = "1";
    Text threadCount_ = "5";
    TimeFilter timeFilter_ = TimeFilter::AllTime;
    std::vector<Text> statusHistory_;
    bool collectEnabled_ = true;
    std::size_t collectEnabledChanges_ = 0;
    TextArray regionItems_;
    std::optional<std::size_t> selectedRegion_;

    ResultRows rows_;  // has its own lock
};

}  // namespace tollenby
