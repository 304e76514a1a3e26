#include "collect/worker_group.h"

#include <exception>

namespace tollenby {

WorkerGroup::WorkerGroup(SharedState& state) : state_(state) {}

WorkerGroup::~WorkerGroup() {
    CancelAll();
    JoinAll();
}

void WorkerGroup::ReapLocked(std::list<Worker>& finished) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        auto next = std::next(it);
        if (it->done) finished.splice(finished.end(), workers_, it);
        it = next;
    }
}

bool WorkerGroup::Launch(std::function<void(std::stop_token)> job) {
    return LaunchThread(std::move(job), true);
}

bool WorkerGroup::LaunchResident(std::function<void(std::stop_token)> job) {
    return LaunchThread(std::move(job), false);
}

void WorkerGroup::Occupy() {
    state_.ActiveWorkerCount.fetch_add(1);
}

void WorkerGroup::Vacate() {
    // Under the lock, so that a waiter between its count test and its wait cannot miss the change.
    std::lock_guard lock(lock_);
    state_.ActiveWorkerCount.fetch_sub(1);
    changed_.notify_all();
}

bool WorkerGroup::LaunchThread(std::function<void(std::stop_token)> job, bool counted) {
    std::list<Worker> finished;
    std::unique_lock lock(lock_);
    ReapLocked(finished);
    auto entry = workers_.emplace(workers_.end());
    // The job counts from here, before its thread exists, so a throttle never sees it missing.
    if (counted) state_.ActiveWorkerCount.fetch_add(1);
    ++running_;
    try {
        entry->thread = std::thread([this, entry, counted, job = std::move(job), cancel = stop_.get_token()] {
            try {
                job(cancel);
            } catch (...) {
                // The job's own barrier reports what failed; this one keeps the process alive.
            }
            std::lock_guard done(lock_);
            entry->done = true;
            --running_;
            if (counted) state_.ActiveWorkerCount.fetch_sub(1);
            changed_.notify_all();
        });
    } catch (const std::exception&) {  // no thread (system_error) or no memory for its start
        workers_.erase(entry);
        --running_;
        if (counted) state_.ActiveWorkerCount.fetch_sub(1);
        return false;
    }
    lock.unlock();
    for (Worker& worker : finished) worker.thread.join();  // each has only its return left
    return true;
}

bool WorkerGroup::WaitForSlot(const std::function<int()>& limit, const std::function<bool()>& stop,
                              std::chrono::milliseconds recheck) {
    std::unique_lock lock(lock_);
    for (;;) {
        if (stop()) return false;
        if (state_.ActiveWorkerCount.load() < limit()) return true;
        changed_.wait_for(lock, recheck);
    }
}

void WorkerGroup::Wake() {
    // Taken so that a waiter between its stop() test and its wait cannot miss the call.
    std::lock_guard lock(lock_);
    changed_.notify_all();
}

bool WorkerGroup::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return running_ == 0; });
}

std::size_t WorkerGroup::Running() const {
    std::lock_guard lock(lock_);
    return running_;
}

void WorkerGroup::CancelAll() {
    stop_.request_stop();
}

void WorkerGroup::JoinAll() {
    std::list<Worker> all;
    {
        std::lock_guard lock(lock_);
        all.splice(all.end(), workers_);
    }
    for (Worker& worker : all) worker.thread.join();
}

}  // namespace tollenby
