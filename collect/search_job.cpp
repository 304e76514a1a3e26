#include "collect/search_job.h"

#include <algorithm>
#include <new>
#include <vector>

#include "collect/collect_texts.h"
#include "collect/detail_row_pool.h"
#include "collect/page_fetch.h"
#include "collect/recollect_rows.h"
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

bool SearchJob::Cancel() {
    bool cut = false;
    {
        std::lock_guard lock(runLock_);
        cut = !cancelled_.load() && !ended_;
        cancelled_.store(true);
        cancelledSignal_.notify_all();
    }
    searchStop_.request_stop();
    workers_.Wake();
    return cut;
}

void SearchJob::Join() {
    std::lock_guard lock(joinLock_);
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
    try {
        Run();
    } catch (...) {
        // Out of memory or a thread that could not be made: the run ends where it is, and the user
        // can start another.
        try {
            bool ended = WriteUnlessCancelled([&] {
                ended_ = true;
                run_->Port().SetCollectEnabled(true);
            });
            if (ended) run_->Port().RunEnded(run_->Summary(true));
        } catch (...) {
        }
    }
    std::lock_guard lock(finishedLock_);
    finished_.store(true);
    finishedSignal_.notify_all();
}

void SearchJob::Run() {
    const bool listed = settings_.recollectRows ? RecollectStart() : SearchPhase();
    if (listed && DetailPhase()) Completion();
}

bool SearchJob::RecollectStart() {
    for (std::size_t i = 0; i < settings_.recollectRows->size(); ++i) run_->CountListedRow();
    return WriteUnlessCancelled([&] { run_->Port().SetCollectEnabled(false); });
}

bool SearchJob::SearchOnePage(const Text& address, RegexMatcher& titleMatcher, RegexMatcher& sourceMatcher) {
    WindowPort& port = run_->Port();
    std::vector<ResultHit> hits;
    bool read = false;
    try {
        FetchOutcome page = FetchSearchPage(address, run_->Fetch(), searchStop_.get_token());
        if (Cancelled()) return false;
        if (page.Ok()) hits = ExtractHits(Utf8ToLocal(page.body), titleMatcher, sourceMatcher, &read);
    } catch (const std::bad_alloc&) {
        hits.clear();
        read = false;
    }
    if (Cancelled()) return false;
    // A page that could not be read adds no rows; the run goes on with the next one.
    if (!read) run_->CountFailedSearchPage();
    for (const ResultHit& hit : hits) {
        if (!WriteUnlessCancelled([&] { port.AppendRow(hit.title, hit.url, hit.source); })) return false;
        run_->CountListedRow();
    }
    return true;
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
            if (!SearchOnePage(address, titleMatcher, sourceMatcher)) return false;
        }
    }
    return true;
}

bool SearchJob::DetailPhase() {
    WindowPort& port = run_->Port();
    if (!WriteUnlessCancelled([&] { port.SetStatusText(Text(kDetailPhaseText)); })) return false;
    // The rows as they stand now; a row removed later (Clear) gets no worker.
    std::vector<RowId> rows;
    if (settings_.recollectRows) {
        rows = *settings_.recollectRows;
    } else {
        std::size_t count = port.RowCount();
        rows.reserve(count);
        for (std::size_t r = 0; r < count; ++r) rows.push_back(port.RowAt(r));
    }
    // A gone row reads empty cells; a listed row always has its address.
    auto listed = [&](std::size_t r) {
        return settings_.recollectRows ? !port.Cell(rows[r], kColumnUrl).empty() : port.RowAt(r) == rows[r];
    };

    SharedState& state = run_->State();
    auto stopped = [&] { return Cancelled() || state.CollectStopFlag.load() == 1; };
    auto pool = std::make_shared<DetailRowPool>(run_, workers_);
    DetailRowPool::Closer closeAtEnd(*pool);
    // The limit is read from the box at every test and passed on, so a lowered one lets the extra
    // workers end after their rows.
    auto limit = [&] {
        int threads = ThreadLimit();
        pool->SetLimit(threads);
        return threads;
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (stopped()) break;
        // The wait ends the moment a row is done.
        if (!workers_.WaitForSlot(limit, stopped, settings_.throttleRecheck)) break;
        if (!listed(r)) continue;
        pool->Dispatch(rows[r]);
    }
    return !Cancelled();
}

void SearchJob::Completion() {
    WindowPort& port = run_->Port();
    // Every worker of this run has finished its row before the run says it is complete, so the
    // counts and the region box hold every row. Stop or a new run cuts the wait.
    if (!run_->WaitForWorkers(searchStop_.get_token())) return;
    RunSummary counts = run_->Summary(false);
    // After a re-collection the table also holds failed rows that were not tried again.
    const std::size_t rowsFailed =
        settings_.recollectRows ? RowsReadingFailed(port).size() : counts.rowsFailed;
    if (!WriteUnlessCancelled([&] {
            port.SetStatusText(RunCompleteStatusText(port.RowCount(), rowsFailed, counts.searchPagesFailed));
        }))
        return;
    if (!PauseUnlessCancelled(settings_.completionPause)) return;
    bool ended = WriteUnlessCancelled([&] {
        ended_ = true;
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
    if (ended) port.RunEnded(counts);
}

}  // namespace tollenby
