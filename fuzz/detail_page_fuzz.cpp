// Detail-page reading over arbitrary pages: six searches within their budget, single-line fields
// that stay on one line, and the deleted marker exactly when the page says the entry is gone.
#include <cstddef>
#include <cstdint>
#include <string_view>

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
    // One set for the whole run, as the program lends its sets from worker to worker: each matcher
    // keeps its compiled pattern, so an input pays for matching only.
    static DetailMatchers matchers;
    DetailFields fields;
    fuzz::WithinSearchBudget(6, [&] { fields = ReadDetailPage(page, matchers); });
    Check(!fields.accountId.empty(), "an empty account ID");
    if (fields.deleted) {
        Check(fields.description == fields.qrImage && fields.region == fields.qrImage &&
                  !fields.qrImage.empty(),
              "a deleted entry without its marker in every field");
        return 0;
    }
    for (const Text* field :
         {&fields.industry, &fields.time, &fields.region, &fields.tags, &fields.accountId}) {
        Check(!HoldsLineBreak(*field), "a single-line field spans lines");
    }
    Check(fields.qrImage.find('"') == Text::npos, "the QR address runs past its quote");
    Check(QrImageAddress(page) == fields.qrImage, "the QR address depends on the other fields");
    return 0;
}
