// The GUI-thread cost of one refresh of the detail phase's progress bar: counting the started and
// finished rows of a table of 5,000 rows, half of them finished, while nothing else holds the store.
//   ./build/bench/detail_progress_bench
#include <benchmark/benchmark.h>

#include "app/detail_progress.h"
#include "collect/collect_texts.h"
#include "collect/result_rows.h"

namespace tollenby {
namespace {

void CountRows(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    ResultRows rows;
    for (std::size_t i = 0; i < count; ++i) {
        RowId id = rows.Append("title", "http://127.0.0.1:8737/detail/1.html", "source");
        rows.SetCell(id, kColumnStatus, Text(i % 2 ? kRowDoneText : kRowWorkingText));
    }
    for (auto _ : state) {
        DetailCounts counts = CountDetailRows(rows);
        benchmark::DoNotOptimize(counts);
    }
    state.counters["rows"] = static_cast<double>(count);
}
BENCHMARK(CountRows)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
