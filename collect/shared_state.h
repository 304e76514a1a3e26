// State shared by every thread of collection runs. The program holds one process-wide instance
// (app/globals.h); tests make their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "text/gbk_text.h"

namespace tollenby {

struct SharedState {
    std::mutex RegionListLock;  // guards RegionList: worker appends, Collect's emptying, the final dedup
    TextArray RegionList;
    std::atomic<std::int32_t> CollectStopFlag{0};
    std::atomic<std::int32_t> ActiveWorkerCount{0};
};

}  // namespace tollenby
