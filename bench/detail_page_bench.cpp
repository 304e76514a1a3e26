// Processor time to read one detail page as the detail worker does (the fetched bytes in, the seven
// fields out), on a 75 KB page that holds all six pattern fields and on one whose description never
// closes. Pages read per second of one core is 1 / the time per iteration.
//     build/bench/detail_page_bench
// Built against an older tree (no collect/detail_page_reader.h) it measures that tree's reading:
// the GBK conversion, then each field pattern over the GBK text.
#include <benchmark/benchmark.h>

#include <string>

#include "collect/detail_matchers.h"
#include "collect/result_extraction.h"
#include "demo/demo_content.h"
#include "text/encoding.h"
#if __has_include("collect/detail_page_reader.h")
#include "collect/detail_page_reader.h"
#define TOLLENBY_HAS_BODY_READER 1
#endif

namespace {

using namespace tollenby;

constexpr std::size_t kPageBytes = 75 * 1024;

// A demo detail page holding every field, padded to kPageBytes with navigation-like markup before
// and after the entry, half ASCII and half Chinese as the site's pages are.
std::string FullDetailPage() {
    for (std::uint32_t id = 1; id < 500; ++id) {
        const demo::DemoEntry entry = demo::DetailOf(id, "http://127.0.0.1:8737");
        if (entry.deleted || entry.accountId.empty() || entry.tags.empty() || entry.description.empty() ||
            entry.qrImage.empty())
            continue;
        std::string page = *demo::DetailPageHtml(id, "http://127.0.0.1:8737");
        std::string filler;
        for (int k = 0; filler.size() < 1024; ++k) {
            filler += "<li class=\"nav-item\"><a href=\"/c/" + std::to_string(k) +
                      "\" title=\"热门微信群分类\">深圳本地生活交流 同城活动</a></li>\n";
        }
        std::string head;
        std::string tail;
        while (head.size() + tail.size() + page.size() < kPageBytes) {
            head += filler;
            tail += filler;
        }
        const std::size_t body = page.find("<body");
        const std::size_t end = page.rfind("</body>");
        if (body == std::string::npos || end == std::string::npos) return head + page + tail;
        const std::size_t bodyOpen = page.find('>', body) + 1;
        return page.substr(0, bodyOpen) + head + page.substr(bodyOpen, end - bodyOpen) + tail +
               page.substr(end);
    }
    return {};
}

DetailFields ReadAsTheWorkerDoes(const std::string& body, DetailMatchers& matchers) {
#ifdef TOLLENBY_HAS_BODY_READER
    return ReadDetailBody(body, matchers);
#else
    return ReadDetailPage(Utf8ToLocal(body), matchers);
#endif
}

void ReadPages(benchmark::State& state, const std::string& page, bool wantDescription) {
    DetailMatchers matchers;
    const DetailFields first = ReadAsTheWorkerDoes(page, matchers);
    if (first.accountId.size() < 2 || first.region.empty() || first.qrImage.empty() ||
        first.description.empty() != !wantDescription) {
        state.SkipWithError("the page does not give the expected fields");
        return;
    }
    for (auto _ : state) {
        DetailFields fields = ReadAsTheWorkerDoes(page, matchers);
        benchmark::DoNotOptimize(fields.accountId.data());
    }
    state.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["page_KB"] = static_cast<double>(page.size()) / 1024.0;
}

void BM_ReadFullDetailPage(benchmark::State& state) {
    static const std::string page = FullDetailPage();
    ReadPages(state, page, true);
}
BENCHMARK(BM_ReadFullDetailPage)->Unit(benchmark::kMicrosecond);

// The description's closing icon line is missing: its pattern tries every opening span to the end.
void BM_ReadDetailPageWithoutDescriptionEnd(benchmark::State& state) {
    static const std::string page = [] {
        std::string p = FullDetailPage();
        const std::string icon = "<i class=\"wxqicon_1 weixinqunICON\">";
        for (std::size_t at = p.find(icon); at != std::string::npos; at = p.find(icon))
            p.replace(at, icon.size(), "<i>");
        return p;
    }();
    ReadPages(state, page, false);
}
BENCHMARK(BM_ReadDetailPageWithoutDescriptionEnd)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
