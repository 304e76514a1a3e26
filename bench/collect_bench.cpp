// Collection runs against the in-process demo site.
//
//   DetailPhase/200 rows, 20 workers, 100 ms per response: wall time of the detail phase (from its
//     status text to the last row done) against the ideal ceil(200/20) x 100 ms.
//   Run/5000 rows: the whole run, with the process's peak resident size (getrusage ru_maxrss).
//
// The site runs in this process, so the runs leave the processor mask alone: the Collect button would
// otherwise put the site's threads on the program's one processor too.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "collect/collect_texts.h"
#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "demo/demo_site.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using Clock = std::chrono::steady_clock;

// Notes when the detail phase begins.
class TimedPort : public MemoryWindowPort {
  public:
    void SetStatusText(const Text& text) override {
        if (text == kDetailPhaseText) {
            std::lock_guard lock(lock_);
            detailStart_ = Clock::now();
        }
        MemoryWindowPort::SetStatusText(text);
    }
    Clock::time_point DetailStart() {
        std::lock_guard lock(lock_);
        return *detailStart_;
    }

  private:
    std::mutex lock_;
    std::optional<Clock::time_point> detailStart_;
};

// Keywords whose first pages hold exactly `rows` hits together, one per line.
Text KeywordsForRows(std::size_t rows) {
    Text text;
    for (const std::string& keyword : demo::KeywordsFillingFirstPages(rows)) text += keyword + "\r\n";
    return text;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void DetailPhase(benchmark::State& state) {
    const std::size_t rows = static_cast<std::size_t>(state.range(0));
    const int workers = static_cast<int>(state.range(1));
    const auto latency = std::chrono::milliseconds(state.range(2));
    InitHttp();
    demo::DemoSite site;
    if (!site.Start()) return state.SkipWithError("demo site did not start");
    site.SetLatency(latency);
    SharedState shared;
    auto port = std::make_shared<TimedPort>();
    port->SetKeywordText(KeywordsForRows(rows));
    port->SetPageCountText("1");
    port->SetThreadCountText(std::to_string(workers));
    // One collector for every run, as the program keeps one for the life of its window: the first run
    // compiles the field patterns (once per worker running at once), later runs find them compiled.
    Collector collector(
        port, shared, {site.HostPort(), std::chrono::milliseconds(0), std::chrono::milliseconds(100), false});
    std::vector<double> runs;
    for (auto _ : state) {
        collector.Collect();
        collector.WaitUntilIdle(std::chrono::minutes(5));
        auto end = Clock::now();
        double seconds = std::chrono::duration<double>(end - port->DetailStart()).count();
        if (port->Rows().Count() != rows) return state.SkipWithError("unexpected row count");
        state.SetIterationTime(seconds);
        runs.push_back(seconds);
    }
    double ideal = std::ceil(double(rows) / workers) * std::chrono::duration<double>(latency).count();
    state.counters["ideal_s"] = ideal;
    state.counters["first_run_s"] = runs.front();
    state.counters["worst_later_run_s"] =
        runs.size() > 1 ? *std::max_element(runs.begin() + 1, runs.end()) : 0;
    state.counters["first_vs_ideal"] = runs.front() / ideal;
}
BENCHMARK(DetailPhase)->Args({200, 20, 100})->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

void Run(benchmark::State& state) {
    const std::size_t rows = static_cast<std::size_t>(state.range(0));
    InitHttp();
    demo::DemoSite site;
    if (!site.Start()) return state.SkipWithError("demo site did not start");
    SharedState shared;
    for (auto _ : state) {
        auto port = std::make_shared<MemoryWindowPort>();
        port->SetKeywordText(KeywordsForRows(rows));
        port->SetPageCountText("1");
        port->SetThreadCountText("20");
        Collector collector(
            port, shared,
            {site.HostPort(), std::chrono::milliseconds(0), std::chrono::milliseconds(100), false});
        collector.Collect();
        collector.WaitUntilIdle(std::chrono::minutes(10));
        if (port->Rows().Count() != rows) return state.SkipWithError("unexpected row count");
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_rss_MiB"] = PeakRssKiB() / 1024.0;
}
BENCHMARK(Run)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
