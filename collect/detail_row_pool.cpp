#include "collect/detail_row_pool.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "collect/detail_worker.h"

namespace tollenby {

DetailRowPool::DetailRowPool(std::shared_ptr<RunContext> run, WorkerGroup& workers)
    : run_(std::move(run)), workers_(workers) {}

bool DetailRowPool::Dispatch(RowId row) {
    run_->WorkerStarted();
    workers_.Occupy();
    bool startWorker = false;
    {
        std::lock_guard lock(lock_);
        pending_.push_back(row);
        startWorker = pending_.size() > idle_;
        if (startWorker) ++alive_;
    }
    rowReady_.notify_one();
    if (!startWorker) return true;

    bool launched = false;
    try {
        launched = workers_.LaunchResident(
            [pool = shared_from_this()](std::stop_token cancel) { pool->WorkerBody(cancel); });
    } catch (const std::exception&) {
        launched = false;
    }
    if (launched) return true;
    {
        std::lock_guard lock(lock_);
        --alive_;
        // A busy worker takes the row after its own; with none, nobody ever would.
        if (alive_ > 0) return true;
        auto it = std::find(pending_.begin(), pending_.end(), row);
        if (it == pending_.end()) return true;
        pending_.erase(it);
    }
    try {
        MarkRowFailed(*run_, row);
    } catch (...) {
    }
    EndRowCount();
    return false;
}

void DetailRowPool::SetLimit(int limit) {
    std::lock_guard lock(lock_);
    limit_ = limit;
}

void DetailRowPool::Close() {
    {
        std::lock_guard lock(lock_);
        closed_ = true;
    }
    rowReady_.notify_all();
}

std::size_t DetailRowPool::Workers() const {
    std::lock_guard lock(lock_);
    return alive_;
}

void DetailRowPool::EndRowCount() {
    workers_.Vacate();
    run_->WorkerFinished();
}

std::optional<RowId> DetailRowPool::NextRow(std::stop_token cancel, bool rowDone) {
    std::unique_lock lock(lock_);
    const bool wait = !cancel.stop_requested() &&
                      !(pending_.empty() && (closed_ || alive_ > static_cast<std::size_t>(limit_)));
    // Idle before the slot is freed, so the dispatcher hands its next row to this worker instead of
    // starting another.
    if (wait) ++idle_;
    lock.unlock();
    if (rowDone) EndRowCount();
    lock.lock();
    if (wait) {
        rowReady_.wait(lock, cancel, [&] { return !pending_.empty() || closed_; });
        --idle_;
    }
    if (!cancel.stop_requested() && !pending_.empty()) {
        RowId row = pending_.front();
        pending_.pop_front();
        return row;
    }
    --alive_;
    // The window is closing: rows no worker has taken are dropped, and their counts with them.
    std::size_t dropped = cancel.stop_requested() ? pending_.size() : 0;
    if (dropped > 0) pending_.clear();
    lock.unlock();
    for (std::size_t i = 0; i < dropped; ++i) EndRowCount();
    return std::nullopt;
}

void DetailRowPool::WorkRow(RowId row, DetailMatchers* matchers, std::stop_token cancel) {
    try {
        if (matchers != nullptr)
            RunDetailWorker(*run_, row, *matchers, cancel);
        else
            RunDetailWorker(*run_, row, cancel);
    } catch (...) {
        // A page too large for memory, say: the row says it failed, the worker goes on.
        try {
            MarkRowFailed(*run_, row);
        } catch (...) {
        }
    }
}

void DetailRowPool::WorkRows(std::stop_token cancel, DetailMatchers* matchers) {
    bool rowDone = false;
    while (std::optional<RowId> row = NextRow(cancel, rowDone)) {
        WorkRow(*row, matchers, cancel);
        rowDone = true;
    }
}

void DetailRowPool::WorkerBody(std::stop_token cancel) {
    // The worker's own patterns, compiled once for all its rows; without memory for them, each row
    // borrows a set. Nothing else in here throws: WorkRow catches whatever a row throws.
    bool leased = false;
    try {
        DetailMatcherPool::Lease matchers = run_->Matchers().Take();
        leased = true;
        WorkRows(cancel, &*matchers);
    } catch (const std::bad_alloc&) {
        if (leased) throw;
    }
    if (!leased) WorkRows(cancel, nullptr);
}

}  // namespace tollenby
