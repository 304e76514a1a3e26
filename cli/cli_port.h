// The command line's WindowPort: the controls hold what the options said, the rows live in memory, and
// every status text and row-status change is handed to the progress view as it happens.
//
// Safe to call from any thread, as the port contract demands.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>

#include "collect/result_rows.h"
#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby::cli {

// How far the run has come, as the port saw it.
struct RunProgress {
    std::size_t rows = 0;           // rows listed by the search phase
    std::size_t detailsDone = 0;    // rows whose detail worker finished
    std::size_t detailsFailed = 0;  // of those, rows marked as failed
    bool detailPhase = false;
};

class CliWindowPort : public WindowPort {
  public:
    struct Controls {
        Text keywordText;    // GBK, every keyword ended by CR LF
        Text pageCountText;  // GBK
        Text threadCountText;
        TimeFilter timeFilter = TimeFilter::AllTime;
    };
    // `onStatus` is called, on the calling thread, with every status text (GBK) in order.
    CliWindowPort(Controls controls, std::function<void(const Text& status)> onStatus);

    ResultRows& Rows() { return rows_; }
    RunProgress Progress() const;
    // What the run reported when it ended; none while it goes on.
    std::optional<RunSummary> Summary() const;

    // WindowPort.
    Text KeywordText() override { return controls_.keywordText; }
    Text PageCountText() override { return controls_.pageCountText; }
    Text ThreadCountText() override { return controls_.threadCountText; }
    TimeFilter CheckedTimeFilter() override { return controls_.timeFilter; }
    void SetStatusText(const Text& text) override;
    void SetCollectEnabled(bool) override {}
    void ClearRegionBox() override {}
    void SetRegionItems(const TextArray&) override {}
    void ClearRows() override;
    RowId AppendRow(const Text& title, const Text& url, const Text& source) override;
    std::size_t RowCount() override { return rows_.Count(); }
    RowId RowAt(std::size_t index) override { return rows_.IdAt(index); }
    Text Cell(RowId row, int column) override { return rows_.Cell(row, column); }
    void SetCell(RowId row, int column, const Text& text) override;
    void RunEnded(const RunSummary& summary) override;

  private:
    const Controls controls_;
    const std::function<void(const Text&)> onStatus_;
    std::mutex statusLock_;  // keeps status texts in the order they were set
    ResultRows rows_;
    std::atomic<std::size_t> detailsDone_{0};
    std::atomic<std::size_t> detailsFailed_{0};
    std::atomic<bool> detailPhase_{false};
    mutable std::mutex summaryLock_;
    std::optional<RunSummary> summary_;
};

}  // namespace tollenby::cli
