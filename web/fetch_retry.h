// Retries of transient fetch failures, for every page and image the program asks for.
//
// A transient failure (see FetchVerdict) is tried again after about 1 s, then about 3 s, each wait
// spread by +/-25 % so that many workers that failed together do not come back together. A
// Retry-After header on 429 or 503 replaces the wait, capped at 30 s. Permanent failures come back
// at once. The stop token cuts a wait at once; the outcome is then Cancelled.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

#include "text/gbk_text.h"
#include "web/fetch_control.h"
#include "web/fetch_outcome.h"

namespace tollenby {

// How hard a run tries. Each collection run and each download job takes one.
struct RetryPolicy {
    int extraTries = 2;      // tries after the first; 0 means a single try
    double waitScale = 1.0;  // multiplies every wait, Retry-After included (tests shorten them)
};

inline constexpr std::chrono::milliseconds kFirstRetryWait{1000};
inline constexpr std::chrono::milliseconds kLaterRetryWait{3000};
inline constexpr double kRetryJitter = 0.25;
inline constexpr std::chrono::milliseconds kRetryAfterCap{30'000};

// The wait before retry number `retryNo` (1 for the first retry) after `failed`, unscaled. `spread`
// in [-1, 1] picks the point within the jitter band; a Retry-After is taken as it is (capped).
std::chrono::milliseconds RetryWait(int retryNo, const FetchOutcome& failed, double spread);

// One attempt: a complete request, judged.
using FetchAttempt = std::function<FetchOutcome(std::stop_token stop)>;

// Runs `attempt` until it is not Transient or the policy's tries are spent. `onWait` (may be empty)
// hears every wait before it starts. `attempts` of the result counts every try.
FetchOutcome FetchWithRetries(const FetchAttempt& attempt, const RetryPolicy& policy, std::stop_token stop,
                              const std::function<void(std::chrono::milliseconds)>& onWait = {});

// FetchPage with the address alone (a detail page or a QR image), each attempt under `limits`
// (kDetailPageLimits by default), retried by `policy`.
FetchOutcome FetchPageRetrying(const Text& url, const RetryPolicy& policy, std::stop_token stop,
                               const std::optional<FetchLimits>& limits = std::nullopt);

// FetchPageByRequestObject with the address alone (a search page), each attempt under `limits` (the
// routine's defaults otherwise), retried by `policy`.
FetchOutcome FetchByRequestObjectRetrying(const Text& url, const RetryPolicy& policy, std::stop_token stop,
                                          const std::optional<FetchLimits>& limits = std::nullopt);

}  // namespace tollenby
