// The detail worker: completes one row from its detail page.
#pragma once

#include <stop_token>

#include "collect/run_context.h"
#include "collect/window_port.h"

namespace tollenby {

// Marks the row "正在采集中", fetches the address in its column 2 (transient failures retried by the
// run's policy), fills columns 4 to 10 (or the deleted marker), adds the region to RegionList and
// marks the row "采集完成". A page that cannot be read, or whose fields cannot be trusted, leaves
// columns 4 to 10 empty and marks the row "采集失败" instead, adding no region. Writes to a row that
// is gone land nowhere. When `cancel` is set during the fetch, the worker leaves the row as it is.
void RunDetailWorker(RunContext& run, RowId row, std::stop_token cancel);
// The same with the caller's own matchers, for a worker that keeps them from row to row.
void RunDetailWorker(RunContext& run, RowId row, DetailMatchers& matchers, std::stop_token cancel);

// Empties columns 4 to 10, writes "采集失败" into column 11 and counts the row as failed in its run.
void MarkRowFailed(RunContext& run, RowId row);

}  // namespace tollenby
