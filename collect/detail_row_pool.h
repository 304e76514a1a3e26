// The detail workers of one run: threads that each take row after row, so each keeps its connection
// to the detail host, its GBK converter and its compiled field patterns for as long as the run has
// rows for it. (Connections, converters and the fetch session are kept per thread.)
//
// The run's dispatcher decides when a row may start, as with one thread per row: it waits for a slot
// below the thread limit and hands the row over with Dispatch, which counts it in ActiveWorkerCount
// and in the run at once. Handing over never waits: the row goes to an idle worker, or a new worker is
// started for it, so no more workers exist than rows were in flight when each was started. A worker
// whose row is done while the run has more workers than the limit ends; so does every idle worker
// once the dispatcher closes the pool. Rows handed over are worked even after Close, as rows that
// have started; the group's cancellation (the window closing) drops them instead.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "collect/detail_matchers.h"
#include "collect/run_context.h"
#include "collect/window_port.h"
#include "collect/worker_group.h"

namespace tollenby {

class DetailRowPool : public std::enable_shared_from_this<DetailRowPool> {
  public:
    // `workers` must outlive every thread the pool starts (the group joins them).
    DetailRowPool(std::shared_ptr<RunContext> run, WorkerGroup& workers);

    // Starts `row` on a worker. When no worker exists and none can be made, the row reads "采集失败"
    // and false comes back.
    bool Dispatch(RowId row);
    // The thread limit as the dispatcher last read it: a worker beyond it ends after its row.
    void SetLimit(int limit);
    // No more rows: idle workers end, busy ones end after the rows handed over.
    void Close();
    std::size_t Workers() const;

    // Closes the pool when it goes, however the dispatcher leaves.
    class Closer {
      public:
        explicit Closer(DetailRowPool& pool) : pool_(pool) {}
        ~Closer() { pool_.Close(); }
        Closer(const Closer&) = delete;
        Closer& operator=(const Closer&) = delete;

      private:
        DetailRowPool& pool_;
    };

  private:
    void WorkerBody(std::stop_token cancel);
    // Ends the previous row's count (when there was one) and waits for the next row; empty when the
    // worker is to end.
    std::optional<RowId> NextRow(std::stop_token cancel, bool rowDone);
    void WorkRows(std::stop_token cancel, DetailMatchers* matchers);
    void WorkRow(RowId row, DetailMatchers* matchers, std::stop_token cancel);
    void EndRowCount();

    std::shared_ptr<RunContext> run_;
    WorkerGroup& workers_;

    mutable std::mutex lock_;
    std::condition_variable_any rowReady_;
    std::deque<RowId> pending_;  // counted rows no worker has taken yet
    std::size_t alive_ = 0;      // workers started and not yet leaving
    std::size_t idle_ = 0;       // workers about to wait, or waiting, for a row
    int limit_ = 1;
    bool closed_ = false;
};

}  // namespace tollenby
