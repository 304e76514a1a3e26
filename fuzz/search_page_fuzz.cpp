// Search-result extraction over arbitrary pages (bytes as they arrive, converted like every fetched
// page): both searches within their budget, one hit per title match, and titles cleaned as promised.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "collect/result_extraction.h"
#include "fuzz/fuzz_support.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
using fuzz::Check;

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text page = Utf8ToLocal(fuzz::AsBytes(data, size));
    // The search job keeps its two matchers for a whole run, and so does this target.
    static RegexMatcher titles;
    static RegexMatcher sources;
    std::vector<ResultHit> hits;
    fuzz::WithinSearchBudget(2, [&] { hits = ExtractHits(page, titles, sources); });
    Check(static_cast<int>(hits.size()) == titles.MatchCount(), "not one hit per title match");
    for (const ResultHit& hit : hits) {
        Check(TextTrim(hit.title) == hit.title, "a title keeps blanks at an end");
        Check(!TextContains(hit.title, "\"") && !TextContains(hit.title, "?"),
              "a title keeps a quote or '?'");
        Check(!HoldsLineBreak(hit.title) && !HoldsLineBreak(hit.url) && !HoldsLineBreak(hit.source),
              "a single-line field spans lines");
    }
    return 0;
}
