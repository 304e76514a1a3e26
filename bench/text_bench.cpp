// Throughput of the text layer on a search page: the UTF-8 -> GBK conversion every fetched page goes
// through, and the title-pattern search that turns a page into result rows.
//     build/bench/text_bench
#include <benchmark/benchmark.h>

#include <string>

#include "collect/page_patterns.h"
#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;

constexpr std::size_t kPageBytes = 100 * 1024;
constexpr int kHits = 20;

// About 100 KB of search-page markup: mostly ASCII tags and attributes, Chinese titles and snippets,
// CR LF line ends, kHits hits spread evenly.
std::string SearchPageUtf8() {
    std::string hit;
    std::string filler;
    for (int line = 0; line < 30; ++line) {
        filler +=
            "<div class=\"c-abstract\" style=\"padding:2px 0\"><span class=\"c-showurl\">qun.example.com/q/" +
            std::to_string(line) + "</span> 深圳本地生活交流，欢迎加入 &nbsp;</div>\r\n";
    }
    std::string page =
        "<!DOCTYPE html>\r\n<html>\r\n<head><meta charset=\"utf-8\"><title>搜索结果</title></head>\r\n";
    for (int k = 0; page.size() < kPageBytes; ++k) {
        if (k < kHits) {
            page +=
                "<div class=\"result c-container\">\r\n<h3 class=\"c-title\">\r\n"
                "<a rpos=\"\" cpos=\"title\" href=\"http://qun.example.com/q/" +
                std::to_string(1000 + k) + ".html\" target=\"_blank\">\r\n深圳<em>户外</em>徒步交流群 " +
                std::to_string(k) + "\r\n                    </a>\r\n</h3>\r\n<span>来自：微信群</span>\r\n";
        }
        page += filler;
    }
    return page;
}

void BM_Utf8ToLocal(benchmark::State& state) {
    const std::string page = SearchPageUtf8();
    for (auto _ : state) {
        Text text = Utf8ToLocal(page);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Utf8ToLocal);

void BM_TitlePatternSearch(benchmark::State& state) {
    const Text page = Utf8ToLocal(SearchPageUtf8());
    RegexMatcher matcher;
    for (auto _ : state) {
        bool ok = matcher.Search(kTitlePattern, page);
        if (!ok || matcher.MatchCount() != kHits) {
            state.SkipWithError("title pattern did not find every hit");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_TitlePatternSearch);

}  // namespace

BENCHMARK_MAIN();
