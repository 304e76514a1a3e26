// Writing a large table to each export format: 100,000 rows x 12 columns, wall time and file size,
// data.xls beside the others. Every format goes through its atomic file (temporary file, fsync, rename).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/realistic_rows.h"
#include "export/table_export.h"

namespace tollenby {
namespace {

void BM_WriteTable(benchmark::State& state, ExportFormat format) {
    const std::vector<SpreadsheetRow> rows = RealisticRows(static_cast<int>(state.range(0)));
    char pattern[] = "/tmp/export_formats_bench_XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string path = folder + "/" + std::string(ExportFileName(format));
    for (auto _ : state) {
        WriteResult result = WriteTable(format, rows, path);
        if (!result.ok) {
            state.SkipWithError(result.reason.c_str());
            break;
        }
    }
    std::error_code ignored;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path, ignored)) / 1e6;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["process_peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    std::filesystem::remove_all(folder, ignored);
}

BENCHMARK_CAPTURE(BM_WriteTable, xls, ExportFormat::Xls)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteTable, xlsx, ExportFormat::Xlsx)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteTable, csv, ExportFormat::Csv)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteTable, jsonl, ExportFormat::JsonLines)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
