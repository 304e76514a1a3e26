#include "cli/cli_port.h"

#include <utility>

#include "cli/run_failures.h"
#include "collect/collect_texts.h"

namespace tollenby::cli {

CliWindowPort::CliWindowPort(Controls controls, std::function<void(const Text& status)> onStatus)
    : controls_(std::move(controls)), onStatus_(std::move(onStatus)) {}

RunProgress CliWindowPort::Progress() const {
    return {rows_.Count(), detailsDone_.load(), detailsFailed_.load(), detailPhase_.load()};
}

void CliWindowPort::SetStatusText(const Text& text) {
    if (text == kDetailPhaseText) detailPhase_.store(true);
    std::lock_guard guard(statusLock_);
    if (onStatus_) onStatus_(text);
}

void CliWindowPort::ClearRows() {
    rows_.Clear();
    detailsDone_.store(0);
    detailsFailed_.store(0);
    detailPhase_.store(false);
}

RowId CliWindowPort::AppendRow(const Text& title, const Text& url, const Text& source) {
    return rows_.Append(title, url, source);
}

void CliWindowPort::SetCell(RowId row, int column, const Text& text) {
    // A worker ends its row by writing its final work status; "正在采集中" is where it starts.
    const bool finishing = column == kColumnStatus && text != kRowWorkingText && !text.empty();
    if (!rows_.SetCell(row, column, text) || !finishing) return;
    detailsDone_.fetch_add(1);
    if (text == kRowFailedText) detailsFailed_.fetch_add(1);
}

void CliWindowPort::RunEnded(const RunSummary& summary) {
    std::lock_guard guard(summaryLock_);
    summary_ = summary;
}

std::optional<RunSummary> CliWindowPort::Summary() const {
    std::lock_guard guard(summaryLock_);
    return summary_;
}

}  // namespace tollenby::cli
