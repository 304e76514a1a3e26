#include "web/fetch_retry.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <random>

#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using std::chrono::milliseconds;

double RandomSpread() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_real_distribution<double>(-1.0, 1.0)(engine);
}

// Sleeps for `wait` unless the token is set first; false when it was.
bool WaitUnlessStopped(milliseconds wait, std::stop_token stop) {
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock held(lock);
    wake.wait_for(held, stop, wait, [] { return false; });
    return !stop.stop_requested();
}

FetchOutcome Cancelled(FetchOutcome last) {
    last.verdict = FetchVerdict::Cancelled;
    return last;
}

}  // namespace

milliseconds RetryWait(int retryNo, const FetchOutcome& failed, double spread) {
    if (failed.retryAfter) {
        auto asked = std::min<std::chrono::seconds>(
            *failed.retryAfter, std::chrono::duration_cast<std::chrono::seconds>(kRetryAfterCap));
        return std::min<milliseconds>(asked, kRetryAfterCap);
    }
    milliseconds base = retryNo <= 1 ? kFirstRetryWait : kLaterRetryWait;
    double factor = 1.0 + kRetryJitter * std::clamp(spread, -1.0, 1.0);
    return milliseconds(static_cast<long long>(static_cast<double>(base.count()) * factor));
}

FetchOutcome FetchWithRetries(const FetchAttempt& attempt, const RetryPolicy& policy, std::stop_token stop,
                              const std::function<void(milliseconds)>& onWait) {
    FetchOutcome outcome = attempt(stop);
    int attempts = 1;
    for (int retry = 1; retry <= policy.extraTries && outcome.verdict == FetchVerdict::Transient; ++retry) {
        milliseconds wait = RetryWait(retry, outcome, RandomSpread());
        wait = milliseconds(static_cast<long long>(static_cast<double>(wait.count()) * policy.waitScale));
        if (onWait) onWait(wait);
        if (!WaitUnlessStopped(wait, stop)) {
            outcome.attempts = attempts;
            return Cancelled(std::move(outcome));
        }
        outcome = attempt(stop);
        ++attempts;
    }
    outcome.attempts = attempts;
    return outcome;
}

FetchOutcome FetchPageRetrying(const Text& url, const RetryPolicy& policy, std::stop_token stop,
                               const std::optional<FetchLimits>& limits) {
    auto once = [&](std::stop_token token) {
        int status = 0;
        TransferFailure failure = TransferFailure::NoResponse;
        Text headers;
        FetchControl control{.stop = token,
                             .statusCode = &status,
                             .limits = limits.value_or(kDetailPageLimits),
                             .failure = &failure};
        ByteString body =
            FetchPage(url, 0, {}, nullptr, nullptr, nullptr, &headers, false, nullptr, {}, control);
        return MakeFetchOutcome(std::move(body), status, failure, headers, std::chrono::system_clock::now());
    };
    return FetchWithRetries(once, policy, stop);
}

FetchOutcome FetchByRequestObjectRetrying(const Text& url, const RetryPolicy& policy, std::stop_token stop,
                                          const std::optional<FetchLimits>& limits) {
    auto once = [&](std::stop_token token) {
        int status = 0;
        TransferFailure failure = TransferFailure::NoResponse;
        Text headers;
        FetchControl control{.stop = token, .limits = limits, .failure = &failure};
        ByteString body = FetchPageByRequestObject(url, 0, {}, nullptr, nullptr, nullptr, &headers, &status,
                                                   false, {}, {}, 0, {}, {}, 1, nullptr, control);
        return MakeFetchOutcome(std::move(body), status, failure, headers, std::chrono::system_clock::now());
    };
    return FetchWithRetries(once, policy, stop);
}

}  // namespace tollenby
