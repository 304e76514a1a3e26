// The Collect and Stop buttons and the threads behind them, for the window or any other front end.
//
// One Collector lives as long as the window's port is in use. It owns the search job of the current
// run, search jobs of earlier runs that are still ending, and the detail workers of every run; its
// destructor abandons whatever still runs and joins every thread, so the program can end at once.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "collect/detail_matchers.h"
#include "collect/run_context.h"
#include "collect/search_job.h"
#include "collect/shared_state.h"
#include "collect/window_port.h"
#include "collect/worker_group.h"
#include "text/gbk_text.h"

namespace tollenby {

struct CollectorOptions {
    std::optional<Text> searchHost;                   // default: SearchHost() when each run starts
    std::chrono::milliseconds completionPause{1500};  // tests shorten it
    std::chrono::milliseconds throttleRecheck{100};
    bool restrictToFirstProcessor = true;
    // Retries of every search and detail page of a run (the command line's --retries N sets
    // extraTries), and, for tests, other limits per attempt.
    RunFetchSettings fetch{};
};

enum class CollectOutcome {
    Started,
    NoKeywords,  // the window shows kNoKeywordsMessage under kMessageCaption, one OK button
};

enum class RecollectOutcome {
    Started,
    NoRows,  // none of the rows asked for is in the table
    Busy,    // a run or a worker of one is still going
};

class Collector {
  public:
    // `state` must outlive the Collector; the port is shared with the workers.
    Collector(std::shared_ptr<WindowPort> port, SharedState& state, CollectorOptions options = {});
    ~Collector();  // Shutdown()
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    // The Collect button: refuses an empty keyword box; otherwise keeps the process on its first
    // processor, empties the region box and RegionList, clears CollectStopFlag and starts a run.
    CollectOutcome Collect();

    // The Stop button: sets CollectStopFlag, cancels the running search job (which writes nothing more
    // once this returns) and enables Collect. A run cut short this way shows "采集已停止！共计采集结果：
    // N条" and reports RunEnded with `stopped` set. Detail workers already started finish their rows.
    void Stop();

    // Sends `rows` (rows of the table, in table order) to the detail workers again under the thread limit
    // of the moment, writing into the same rows. Refused while Busy(). Like a run it disables Collect,
    // shows the detail-phase text, then the completion text counting every row that reads "采集失败",
    // and fills the region box anew: the regions of the complete rows it left alone, then those the
    // workers find. Stop ends it like a run.
    RecollectOutcome Recollect(std::vector<RowId> rows);

    // True while a run (or re-collection) has not ended or any detail worker is still running.
    bool Busy() const;

    // For the window closing: abandons the search jobs and every worker's fetch, and joins them all.
    void Shutdown();

    // For tests and headless runs: waits until the search jobs have ended and no worker runs. Safe
    // against a concurrent Collect, Stop or Shutdown.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    bool SearchRunning() const;
    std::size_t RunningWorkers() const { return workers_.Running(); }

  private:
    // Cancels the current job and keeps it among the retired; returns it when that cut its run short.
    std::shared_ptr<SearchJob> RetireCurrentLocked();
    void ReapRetiredLocked();

    std::shared_ptr<WindowPort> port_;
    SharedState& state_;
    CollectorOptions options_;
    WorkerGroup workers_;  // destroyed after the jobs that dispatch into it
    std::shared_ptr<DetailMatcherPool> matchers_ = std::make_shared<DetailMatcherPool>();

    mutable std::mutex lock_;
    // Shared so that a waiter keeps a job alive while a concurrent Collect or Shutdown lets it go.
    std::shared_ptr<SearchJob> current_;
    std::vector<std::shared_ptr<SearchJob>> retired_;  // cancelled or done, thread perhaps still ending
    std::shared_ptr<RunContext> lastRun_;              // its workers may still append regions
};

// Keeps every thread of the process, and the threads they start later, on the first processor the
// process may use. False when the system refused.
bool RestrictToFirstProcessor();

}  // namespace tollenby
