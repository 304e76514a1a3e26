// WriteSpreadsheet of a full-size ResultList: 10,000 rows x 12 columns of mixed Chinese and ASCII.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/biff_writer.h"
#include "export/spreadsheet.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

std::vector<SpreadsheetRow> RealisticRows(int count) {
    const char* industries[] = {"互联网",   "教育培训", "餐饮美食", "旅游出行", "金融理财",
                                "房产家居", "母婴亲子", "健康医疗", "汽车",     "电商微商"};
    const char* regions[] = {"广东 深圳", "北京 朝阳", "上海 浦东", "浙江 杭州", "四川 成都"};
    const char* sources[] = {"微信群", "公众号", "个人号"};
    std::vector<SpreadsheetRow> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i + 1);
        const char* industry = industries[i % 10];
        std::string description = "本群为" + std::string(industry) +
                                  "爱好者交流群，每天分享行业资讯、经验与资源，" + "欢迎加入 No." + n +
                                  "，禁止广告刷屏，违者踢出。";
        bool deleted = i % 50 == 49;
        std::string date = "2024-0";  // built in steps: GCC 12 warns falsely on "literal" + std::string&&
        date += std::to_string(i % 9 + 1);
        date += '-';
        date += std::to_string(i % 28 + 1);
        std::vector<std::string> utf8 = {
            n,
            std::string(regions[i % 5]) + std::string(industry) + "交流群" + n,
            "http://www.example-directory.com/group/" + n + ".html",
            sources[i % 3],
            deleted ? "文章已经删除" : description,
            deleted ? "文章已经删除" : industry,
            deleted ? "文章已经删除" : date,
            deleted ? "文章已经删除" : regions[i % 5],
            deleted ? "文章已经删除" : std::string(industry) + ",交流,分享",
            deleted ? "文章已经删除" : std::string("0") + std::to_string(13800000000LL + i),
            deleted ? "文章已经删除" : "http://img.example-directory.com/qrcode/" + n + ".jpg",
            "采集完成",
        };
        SpreadsheetRow row;
        for (std::size_t k = 0; k < row.size(); ++k) row[k] = Utf8ToLocal(utf8[k]);
        rows.push_back(std::move(row));
    }
    return rows;
}

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
