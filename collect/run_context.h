// What the search job and the detail workers of one run share. Workers hold it by shared ownership,
// so it stays valid for a worker that outlives its run's search job.
#pragma once

#include <memory>
#include <mutex>

#include "collect/detail_matchers.h"
#include "collect/shared_state.h"
#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

class RunContext {
  public:
    RunContext(std::shared_ptr<WindowPort> port, SharedState& state,
               std::shared_ptr<DetailMatcherPool> matchers)
        : port_(std::move(port)), state_(state), matchers_(std::move(matchers)) {}

    WindowPort& Port() const { return *port_; }
    SharedState& State() const { return state_; }
    DetailMatcherPool& Matchers() const { return *matchers_; }

    // Adds a worker's region to RegionList, under its lock, unless a later run has taken the list over:
    // the regions of an old run's late workers must not turn up in the new run's region box.
    void AppendRegion(const Text& region) {
        std::lock_guard lock(state_.RegionListLock);
        if (regionsOpen_) state_.RegionList.push_back(region);
    }
    // Called with RegionListLock held, by the run that empties RegionList.
    void CloseRegionsLocked() { regionsOpen_ = false; }

  private:
    std::shared_ptr<WindowPort> port_;
    SharedState& state_;
    std::shared_ptr<DetailMatcherPool> matchers_;
    bool regionsOpen_ = true;  // guarded by state_.RegionListLock
};

}  // namespace tollenby
