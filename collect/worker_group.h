// The detail workers of every run, joined before the group goes away. ActiveWorkerCount counts rows in
// flight: a job started by Launch counts from the moment it is dispatched until it ends; a resident
// worker (LaunchResident) works row after row and counts each row itself with Occupy and Vacate.
//
// Whoever waits for a free slot is woken the moment a worker ends; there is no polling for that.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <stop_token>
#include <thread>

#include "collect/shared_state.h"

namespace tollenby {

class WorkerGroup {
  public:
    explicit WorkerGroup(SharedState& state);
    ~WorkerGroup();  // CancelAll, then JoinAll
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    // Counts the job in ActiveWorkerCount, then runs it on a new thread. The job gets the group's
    // cancel token (set only by CancelAll). Returns false, counting nothing, when no thread can be made.
    bool Launch(std::function<void(std::stop_token)> job);
    // Runs `job` on a new thread of the group without counting it in ActiveWorkerCount. Returns false
    // when no thread can be made.
    bool LaunchResident(std::function<void(std::stop_token)> job);
    void Occupy();  // one more row in flight
    void Vacate();  // one row fewer, waking whoever waits for a slot

    // Waits until ActiveWorkerCount is below limit() (true) or stop() holds (false).
    // limit() and stop() are asked again whenever a worker ends and at least every `recheck`, so a
    // changed limit takes effect without a worker having to end.
    bool WaitForSlot(const std::function<int()>& limit, const std::function<bool()>& stop,
                     std::chrono::milliseconds recheck);
    void Wake();  // makes waiters ask stop() again at once; call it after making stop() true

    // Waits until no worker is running; false on time-out.
    bool WaitIdle(std::chrono::milliseconds timeout);
    std::size_t Running() const;

    void CancelAll();  // abandons every fetch in flight; the workers end without filling their rows
    void JoinAll();

  private:
    struct Worker {
        std::thread thread;
        bool done = false;
    };
    void ReapLocked(std::list<Worker>& finished);
    bool LaunchThread(std::function<void(std::stop_token)> job, bool counted);

    SharedState& state_;
    std::stop_source stop_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::list<Worker> workers_;  // a list: a worker's entry stays put while others come and go
    std::size_t running_ = 0;
};

}  // namespace tollenby
