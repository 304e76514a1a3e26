#include "collect/search_job.h"

#include <algorithm>
#include <vector>

#include "collect/collect_texts.h"
#include "collect/detail_worker.h"
#include "collect/page_fetch.h"
#include "collect/result_extraction.h"
#include "collect/search_phase.h"
#include "match/dedup_texts.h"
#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace tollenby {

SearchJob::SearchJob(std::shared_ptr<RunContext> run, WorkerGroup& workers, SearchJobSettings settings)
    : run_(std::move(run)), workers_(workers), settings_(std::move(settings)) {}

SearchJob::~SearchJob() {
    Cancel();
    Join();
}

void SearchJob::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Body(); });
}

void SearchJob::Cancel() {
    {
        std::lock_guard lock(runLock_);
        cancelled_.store(true);
        cancelledSignal_.notify_all();
    }
    searchStop_.request_stop();
    workers_.Wake();
}

void SearchJob::Join() {
    if (thread_.joinable()) thread_.join();
}

bool SearchJob::WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(finishedLock_);
    return finishedSignal_.wait_for(lock, timeout, [&] { return finished_.load(); });
}

template <typename Write>
bool SearchJob::WriteUnlessCancelled(Write&& write) {
    std::lock_guard lock(runLock_);
    if (cancelled_.load()) return false;
    write();
    return true;
}

bool SearchJob::PauseUnlessCancelled(std::chrono::milliseconds pause) {
    std::unique_lock lock(runLock_);
    return !cancelledSignal_.wait_for(lock, pause, [&] { return cancelled_.load(); });
}

int SearchJob::ThreadLimit() const {
    // The box offers 5, 10 and 20; a text that reads as less than one still lets one worker run.
    return std::max(1, LeadingInteger(run_->Port().ThreadCountText()));
}

void SearchJob::Body() {
    if (SearchPhase() && DetailPhase()) Completion();
    std::lock_guard lock(finishedLock_);
    finished_.store(true);
    finishedSignal_.notify_all();
}

bool SearchJob::SearchPhase() {
    WindowPort& port = run_->Port();
    RegexMatcher titleMatcher;
    RegexMatcher sourceMatcher;
    if (!WriteUnlessCancelled([&] {
            port.ClearRows();
            port.SetCollectEnabled(false);
        }))
        return false;
    // Read once: later edits of the box do not change this run.
    TextArray keywords = SplitKeywords(port.KeywordText());
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        const Text& keyword = keywords[i];
        // Read anew per keyword, so a change during the run counts from the next keyword on.
        int pages = LeadingInteger(port.PageCountText());
        for (int page = 1; page <= pages; ++page) {
            if (!WriteUnlessCancelled(
                    [&] { port.SetStatusText(SearchingStatusText(keyword, i + 1, keywords.size(), page)); }))
                return false;
            Text address = SearchAddress(settings_.searchHost, keyword, page, port.CheckedTimeFilter());
            ByteString body = FetchSearchPage(address, searchStop_.get_token());
            if (Cancelled()) return false;
            std::vector<ResultHit> hits = ExtractHits(Utf8ToLocal(body), titleMatcher, sourceMatcher);
            for (const ResultHit& hit : hits)
                if (!WriteUnlessCancelled([&] { port.AppendRow(hit.title, hit.url, hit.source); }))
                    return false;
        }
    }
    return true;
}

bool SearchJob::DetailPhase() {
    WindowPort& port = run_->Port();
    if (!WriteUnlessCancelled([&] { port.SetStatusText(Text(kDetailPhaseText)); })) return false;
    // The rows as they stand now; a row removed later (Clear) gets no worker.
    std::size_t count = port.RowCount();
    std::vector<RowId> rows;
    rows.reserve(count);
    for (std::size_t r = 0; r < count; ++r) rows.push_back(port.RowAt(r));

    SharedState& state = run_->State();
    auto stopped = [&] { return Cancelled() || state.CollectStopFlag.load() == 1; };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (stopped()) break;
        // The limit is read from the box at every test; the wait ends the moment a worker finishes.
        if (!workers_.WaitForSlot([&] { return ThreadLimit(); }, stopped, settings_.throttleRecheck)) break;
        if (port.RowAt(r) != rows[r]) continue;
        std::shared_ptr<RunContext> run = run_;
        RowId row = rows[r];
        workers_.Launch([run, row](std::stop_token cancel) { RunDetailWorker(*run, row, cancel); });
    }
    return !Cancelled();
}

void SearchJob::Completion() {
    WindowPort& port = run_->Port();
    if (!WriteUnlessCancelled([&] { port.SetStatusText(RunCompleteStatusText(port.RowCount())); })) return;
    if (!PauseUnlessCancelled(settings_.completionPause)) return;
    WriteUnlessCancelled([&] {
        port.SetCollectEnabled(true);
        SharedState& state = run_->State();
        TextArray items;
        {
            // Workers may still be appending: the lock is held for the de-duplication and the reading.
            std::lock_guard lock(state.RegionListLock);
            DedupTexts(state.RegionList);
            for (const Text& region : state.RegionList)
                if (region != kDeletedMarker) items.push_back(region);
        }
        port.SetRegionItems(items);
    });
}

}  // namespace tollenby
