// What one fetch came to, judged once for every caller: a page or image that can be used, a failure
// worth another try, or a failure that another try would not mend.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

enum class FetchVerdict {
    Ok,         // a 2xx response with a non-empty body
    Transient,  // no response, reset, time-out, or HTTP 408, 429, 500, 502, 503, 504
    Permanent,  // any other status, an empty 2xx body, a body over the cap, a redirect loop, a bad address
    Cancelled,  // the caller's stop token ended it
};

struct FetchOutcome {
    FetchVerdict verdict = FetchVerdict::Transient;
    ByteString body{};  // the final response's body, whatever its status
    int status = 0;     // the final response's HTTP status; 0 when none came
    TransferFailure transfer = TransferFailure::NoResponse;
    // The response's Retry-After, read on 429 and 503 only; nullopt when absent or unreadable.
    std::optional<std::chrono::seconds> retryAfter;
    int attempts = 0;  // how many requests it took, retries included

    bool Ok() const { return verdict == FetchVerdict::Ok; }
};

FetchVerdict ClassifyFetch(TransferFailure transfer, int status, std::size_t bodySize);

// A Retry-After value: delay seconds ("120") or an HTTP date ("Wed, 21 Oct 2015 07:28:00 GMT", also
// the obsolete RFC 850 and asctime forms) taken relative to `now` (a date in the past gives 0).
// nullopt for anything else.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value,
                                                    std::chrono::system_clock::time_point now);

// The value of the first header line named `name` (letter case ignored) in a response header block,
// trimmed; nullopt when there is none.
std::optional<Text> HeaderFieldValue(std::string_view headerBlock, std::string_view name);

// Builds the outcome of one finished request from what the fetcher reported.
FetchOutcome MakeFetchOutcome(ByteString body, int status, TransferFailure transfer,
                              std::string_view headerBlock, std::chrono::system_clock::time_point now);

}  // namespace tollenby
