// WriteSpreadsheet of a full-size ResultList: 10,000 rows x 12 columns of mixed Chinese and ASCII.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/realistic_rows.h"
#include "export/biff_writer.h"
#include "export/spreadsheet.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

void BM_WriteSpreadsheet(benchmark::State& state) {
    const std::vector<SpreadsheetRow> rows = RealisticRows(static_cast<int>(state.range(0)));
    const TextArray titles = ColumnTitleTexts();
    char pattern[] = "/tmp/spreadsheet_bench_XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const std::string path = folder + "/data.xls";
    for (auto _ : state) {
        WriteResult result = WriteSpreadsheet(rows, path, titles);
        if (!result.ok) {
            state.SkipWithError(result.reason.c_str());
            break;
        }
    }
    std::error_code ignored;
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path, ignored));
    state.counters["cells_per_s"] =
        benchmark::Counter(static_cast<double>(state.range(0) + 1) * kSpreadsheetColumnCount,
                           benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_WriteSpreadsheet)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The in-memory part of the same export (GBK to UTF-16, records, shared strings), without the file:
// the difference to BM_WriteSpreadsheet is the compound file, the disk write and its fsync.
void BM_BuildWorkbookStream(benchmark::State& state) {
    const std::vector<SpreadsheetRow> rows = RealisticRows(static_cast<int>(state.range(0)));
    const TextArray titles = ColumnTitleTexts();
    std::size_t bytes = 0;
    for (auto _ : state) {
        BiffWorkbookWriter sheet(kSpreadsheetColumnCount);
        std::vector<std::u16string> cells(kSpreadsheetColumnCount);
        for (std::size_t k = 0; k < cells.size(); ++k) cells[k] = GbkToUtf16(titles[k]);
        sheet.AddRow(cells);
        for (const SpreadsheetRow& row : rows) {
            for (std::size_t k = 0; k < cells.size(); ++k) cells[k] = GbkToUtf16(row[k]);
            sheet.AddRow(cells);
        }
        ByteString stream = sheet.Finish();
        bytes = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    state.counters["stream_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildWorkbookStream)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
