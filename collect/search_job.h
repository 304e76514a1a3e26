// One collection run on a thread of its own: the search phase, the detail phase that dispatches the
// detail workers, the wait for those workers, and the completion with the region box.
//
// Stop is a cancellation the job honours at once: the search request in flight is abandoned, no
// further request is made and no further worker is started, and from the moment Cancel() returns the
// job writes nothing more to the window. Every write of the job happens under its run lock after a
// look at the cancel flag, so no change is ever left half-made. Workers already dispatched go on and
// are not waited for.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "collect/run_context.h"
#include "collect/worker_group.h"
#include "match/regex_matcher.h"
#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

struct SearchJobSettings {
    Text searchHost;                                  // host or host:port of the directory site
    std::chrono::milliseconds completionPause{1500};  // between the completion text and Collect enabled
    std::chrono::milliseconds throttleRecheck{100};   // how soon a changed thread count is seen
    // A re-collection: no search phase, the table stays, and these rows go to the detail workers again.
    // The completion text then counts every row of the table that reads "采集失败".
    std::optional<std::vector<RowId>> recollectRows{};
};

class SearchJob {
  public:
    SearchJob(std::shared_ptr<RunContext> run, WorkerGroup& workers, SearchJobSettings settings);
    ~SearchJob();  // Cancel, then Join
    SearchJob(const SearchJob&) = delete;
    SearchJob& operator=(const SearchJob&) = delete;

    void Start();
    // From any thread; returns once the job can no longer write to the window. True when this call
    // cut the run short: it had been neither cancelled nor ended before.
    bool Cancel();
    void Join();  // from any thread but the job's own
    RunSummary Summary(bool stopped) const { return run_->Summary(stopped); }
    bool Finished() const { return finished_.load(); }
    bool WaitFinished(std::chrono::milliseconds timeout);

  private:
    void Body();
    void Run();
    bool SearchPhase();
    bool RecollectStart();
    bool SearchOnePage(const Text& address, RegexMatcher& titleMatcher, RegexMatcher& sourceMatcher);
    bool DetailPhase();
    void Completion();
    bool Cancelled() const { return cancelled_.load(); }
    // Runs `write` under the run lock unless the job is cancelled; false when cancelled.
    template <typename Write>
    bool WriteUnlessCancelled(Write&& write);
    bool PauseUnlessCancelled(std::chrono::milliseconds pause);
    int ThreadLimit() const;

    std::shared_ptr<RunContext> run_;
    WorkerGroup& workers_;
    SearchJobSettings settings_;

    std::mutex runLock_;
    std::condition_variable cancelledSignal_;
    std::atomic<bool> cancelled_{false};  // set under runLock_
    bool ended_ = false;                  // the run has reported its end; guarded by runLock_
    std::stop_source searchStop_;
    std::atomic<bool> finished_{false};
    std::mutex finishedLock_;
    std::condition_variable finishedSignal_;
    std::mutex joinLock_;
    std::thread thread_;
};

}  // namespace tollenby
