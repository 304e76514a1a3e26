// What the search job and the detail workers of one run share. Workers hold it by shared ownership,
// so it stays valid for a worker that outlives its run's search job.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "collect/detail_matchers.h"
#include "collect/shared_state.h"
#include "collect/window_port.h"
#include "text/gbk_text.h"
#include "web/fetch_limits.h"
#include "web/fetch_retry.h"

namespace tollenby {

// How a run fetches its pages.
struct RunFetchSettings {
    RetryPolicy retry{};
    std::optional<FetchLimits> searchLimits{};  // default: the search fetcher's own
    std::optional<FetchLimits> detailLimits{};  // default: kDetailPageLimits
};

class RunContext {
  public:
    RunContext(std::shared_ptr<WindowPort> port, SharedState& state,
               std::shared_ptr<DetailMatcherPool> matchers, RunFetchSettings fetch = {})
        : port_(std::move(port)), state_(state), matchers_(std::move(matchers)), fetch_(std::move(fetch)) {}

    WindowPort& Port() const { return *port_; }
    SharedState& State() const { return state_; }
    DetailMatcherPool& Matchers() const { return *matchers_; }
    const RunFetchSettings& Fetch() const { return fetch_; }

    // Adds a worker's region to RegionList, under its lock, unless a later run has taken the list over:
    // the regions of an old run's late workers must not turn up in the new run's region box.
    void AppendRegion(const Text& region) {
        std::lock_guard lock(state_.RegionListLock);
        if (regionsOpen_) state_.RegionList.push_back(region);
    }
    // Called with RegionListLock held, by the run that empties RegionList.
    void CloseRegionsLocked() { regionsOpen_ = false; }

    // The run's counts.
    void CountListedRow() { rowsListed_.fetch_add(1); }
    void CountFailedRow() { rowsFailed_.fetch_add(1); }
    void CountFailedSearchPage() { searchPagesFailed_.fetch_add(1); }
    RunSummary Summary(bool stopped) const {
        return {rowsListed_.load(), rowsFailed_.load(), searchPagesFailed_.load(), stopped};
    }

    // The run's own workers: counted from just before their launch until their row is done.
    void WorkerStarted() {
        std::lock_guard lock(workersLock_);
        ++workersRunning_;
    }
    void WorkerFinished() {
        std::lock_guard lock(workersLock_);
        --workersRunning_;
        workersDone_.notify_all();
    }
    // Waits until every worker of this run has finished; false when `stop` cut the wait.
    bool WaitForWorkers(std::stop_token stop) {
        std::unique_lock lock(workersLock_);
        return workersDone_.wait(lock, stop, [&] { return workersRunning_ == 0; });
    }

  private:
    std::shared_ptr<WindowPort> port_;
    SharedState& state_;
    std::shared_ptr<DetailMatcherPool> matchers_;
    RunFetchSettings fetch_;
    bool regionsOpen_ = true;  // guarded by state_.RegionListLock

    std::atomic<std::size_t> rowsListed_{0};
    std::atomic<std::size_t> rowsFailed_{0};
    std::atomic<std::size_t> searchPagesFailed_{0};

    std::mutex workersLock_;
    std::condition_variable_any workersDone_;
    std::size_t workersRunning_ = 0;
};

// Ends one worker's count in its run when it goes, whatever way the worker body is left.
class RunWorkerScope {
  public:
    explicit RunWorkerScope(RunContext& run) : run_(run) {}
    ~RunWorkerScope() { run_.WorkerFinished(); }
    RunWorkerScope(const RunWorkerScope&) = delete;
    RunWorkerScope& operator=(const RunWorkerScope&) = delete;

  private:
    RunContext& run_;
};

}  // namespace tollenby
