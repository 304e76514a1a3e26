#include "collect/collector.h"

#include <sched.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "collect/recollect_rows.h"
#include "collect/search_phase.h"

namespace tollenby {

Collector::Collector(std::shared_ptr<WindowPort> port, SharedState& state, CollectorOptions options)
    : port_(std::move(port)), state_(state), options_(std::move(options)), workers_(state) {}

Collector::~Collector() {
    Shutdown();
}

std::shared_ptr<SearchJob> Collector::RetireCurrentLocked() {
    if (!current_) return nullptr;
    bool cut = current_->Cancel();
    std::shared_ptr<SearchJob> job = current_;
    retired_.push_back(std::move(current_));
    return cut ? job : nullptr;
}

void Collector::ReapRetiredLocked() {
    std::erase_if(retired_, [](const std::shared_ptr<SearchJob>& job) { return job->Finished(); });
}

CollectOutcome Collector::Collect() {
    if (port_->KeywordText().empty()) return CollectOutcome::NoKeywords;
    if (options_.restrictToFirstProcessor) RestrictToFirstProcessor();

    std::unique_lock lock(lock_);
    // A run still finishing (its region box not yet filled) gives way, so it cannot fill the box of
    // this one. Its thread ends on its own; workers it started finish into their own rows.
    std::shared_ptr<SearchJob> cut = RetireCurrentLocked();
    ReapRetiredLocked();
    port_->ClearRegionBox();
    auto run = std::make_shared<RunContext>(port_, state_, matchers_, options_.fetch);
    {
        std::lock_guard regions(state_.RegionListLock);
        // Every earlier run was closed when the one after it began; the last one is closed here.
        if (lastRun_) lastRun_->CloseRegionsLocked();
        state_.RegionList.clear();
    }
    // Stop of an earlier run must not cost this run its detail phase.
    state_.CollectStopFlag.store(0);
    SearchJobSettings settings{options_.searchHost.value_or(SearchHost()), options_.completionPause,
                               options_.throttleRecheck};
    lastRun_ = run;
    current_ = std::make_shared<SearchJob>(std::move(run), workers_, std::move(settings));
    current_->Start();
    lock.unlock();
    if (cut) port_->RunEnded(cut->Summary(true));
    return CollectOutcome::Started;
}

RecollectOutcome Collector::Recollect(std::vector<RowId> rows) {
    // Each row once, in the order given; rows no longer listed are left out.
    std::vector<RowId> wanted;
    for (RowId row : rows) {
        if (row == kNoRow || port_->Cell(row, kColumnUrl).empty()) continue;
        if (std::find(wanted.begin(), wanted.end(), row) == wanted.end()) wanted.push_back(row);
    }
    if (wanted.empty()) return RecollectOutcome::NoRows;
    if (options_.restrictToFirstProcessor) RestrictToFirstProcessor();

    std::unique_lock lock(lock_);
    if ((current_ && !current_->Finished()) || workers_.Running() > 0) return RecollectOutcome::Busy;
    std::shared_ptr<SearchJob> cut = RetireCurrentLocked();
    ReapRetiredLocked();
    auto run = std::make_shared<RunContext>(port_, state_, matchers_, options_.fetch);
    TextArray kept = RegionsOfCompleteRows(*port_, wanted);
    {
        std::lock_guard regions(state_.RegionListLock);
        if (lastRun_) lastRun_->CloseRegionsLocked();
        state_.RegionList = std::move(kept);
    }
    state_.CollectStopFlag.store(0);
    SearchJobSettings settings{options_.searchHost.value_or(SearchHost()), options_.completionPause,
                               options_.throttleRecheck, std::move(wanted)};
    lastRun_ = run;
    current_ = std::make_shared<SearchJob>(std::move(run), workers_, std::move(settings));
    current_->Start();
    lock.unlock();
    if (cut) port_->RunEnded(cut->Summary(true));
    return RecollectOutcome::Started;
}

bool Collector::Busy() const {
    std::lock_guard lock(lock_);
    return (current_ && !current_->Finished()) || workers_.Running() > 0;
}

void Collector::Stop() {
    state_.CollectStopFlag.store(1);
    std::shared_ptr<SearchJob> job;
    {
        std::lock_guard lock(lock_);
        job = current_;
    }
    // Once Cancel returns the job writes nothing more, so the stop text stays.
    if (job && job->Cancel()) {
        port_->SetStatusText(RunStoppedStatusText(port_->RowCount()));
        port_->RunEnded(job->Summary(true));
    }
    port_->SetCollectEnabled(true);
}

void Collector::Shutdown() {
    std::vector<std::shared_ptr<SearchJob>> jobs;
    std::shared_ptr<SearchJob> cut;
    {
        std::lock_guard lock(lock_);
        cut = RetireCurrentLocked();
        jobs.swap(retired_);
    }
    workers_.CancelAll();
    for (const std::shared_ptr<SearchJob>& job : jobs) job->Join();
    jobs.clear();
    workers_.JoinAll();
    if (cut) port_->RunEnded(cut->Summary(true));
}

bool Collector::WaitUntilIdle(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::shared_ptr<SearchJob>> jobs;
    {
        std::lock_guard lock(lock_);
        if (current_) jobs.push_back(current_);
        jobs.insert(jobs.end(), retired_.begin(), retired_.end());
    }
    auto left = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                     std::chrono::steady_clock::now());
    };
    for (const std::shared_ptr<SearchJob>& job : jobs)
        if (!job->WaitFinished(left())) return false;
    return workers_.WaitIdle(left());
}

bool Collector::SearchRunning() const {
    std::lock_guard lock(lock_);
    return current_ && !current_->Finished();
}

bool RestrictToFirstProcessor() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return false;
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &allowed)) ++first;
    if (first == CPU_SETSIZE) return false;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    // Linux keeps the mask per thread: set it on every thread that exists now; threads started later
    // inherit it from the thread that starts them.
    bool ok = sched_setaffinity(0, sizeof one, &one) == 0;
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator it("/proc/self/task", error), end; !error && it != end; it.increment(error)) {
        pid_t tid = static_cast<pid_t>(std::atoll(it->path().filename().c_str()));
        // A thread may end meanwhile; that one needs no mask any more.
        if (tid > 0) sched_setaffinity(tid, sizeof one, &one);
    }
    return ok;
}

}  // namespace tollenby
