// Judging a fetch (usable, worth another try, or not) and reading Retry-After.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "web/fetch_outcome.h"

namespace tollenby {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

TEST(ClassifyFetch, StatusesTransportFailuresCapAndEmptyBodies) {
    struct Case {
        TransferFailure transfer;
        int status;
        std::size_t body;
        FetchVerdict verdict;
    };
    const Case cases[] = {
        {TransferFailure::None, 200, 10, FetchVerdict::Ok},
        {TransferFailure::None, 204, 10, FetchVerdict::Ok},
        {TransferFailure::None, 299, 1, FetchVerdict::Ok},
        {TransferFailure::None, 200, 0, FetchVerdict::Permanent},  // an empty page is no page
        {TransferFailure::None, 301, 10, FetchVerdict::Permanent},
        {TransferFailure::None, 404, 10, FetchVerdict::Permanent},
        {TransferFailure::None, 403, 10, FetchVerdict::Permanent},
        {TransferFailure::None, 501, 10, FetchVerdict::Permanent},
        {TransferFailure::None, 408, 10, FetchVerdict::Transient},
        {TransferFailure::None, 429, 10, FetchVerdict::Transient},
        {TransferFailure::None, 500, 10, FetchVerdict::Transient},
        {TransferFailure::None, 502, 0, FetchVerdict::Transient},
        {TransferFailure::None, 503, 10, FetchVerdict::Transient},
        {TransferFailure::None, 504, 10, FetchVerdict::Transient},
        {TransferFailure::None, 0, 0, FetchVerdict::Transient},
        {TransferFailure::NoResponse, 0, 0, FetchVerdict::Transient},
        {TransferFailure::TimedOut, 200, 5, FetchVerdict::Transient},
        {TransferFailure::OverCap, 200, 0, FetchVerdict::Permanent},
        {TransferFailure::BadAddress, 0, 0, FetchVerdict::Permanent},
        {TransferFailure::TooManyRedirects, 302, 0, FetchVerdict::Permanent},
        {TransferFailure::Cancelled, 0, 0, FetchVerdict::Cancelled},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyFetch(c.transfer, c.status, c.body), c.verdict)
            << "transfer " << static_cast<int>(c.transfer) << " status " << c.status << " body " << c.body;
    }
}

TEST(ParseRetryAfter, SecondsAndTheThreeDateForms) {
    // Sun, 06 Nov 1994 08:49:37 GMT
    const system_clock::time_point now = system_clock::from_time_t(784111777);
    struct Case {
        const char* value;
        std::optional<seconds> wait;
    };
    const Case cases[] = {
        {"1", seconds(1)},
        {" 120 ", seconds(120)},
        {"0", seconds(0)},
        {"Sun, 06 Nov 1994 08:50:07 GMT", seconds(30)},
        {"Sunday, 06-Nov-94 08:49:47 GMT", seconds(10)},
        {"Sun Nov  6 08:49:42 1994", seconds(5)},
        {"Sun, 06 Nov 1994 08:00:00 GMT", seconds(0)},  // already past
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
        {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRetryAfter(c.value, now), c.wait) << c.value;
    EXPECT_EQ(ParseRetryAfter("99999999999999999999999", now), seconds::max());
}

TEST(MakeFetchOutcome, ReadsRetryAfterOnlyOn429And503) {
    const Text block = "HTTP/1.1 503 Service Unavailable\r\nretry-after: 7\r\nContent-Length: 1\r\n\r\n";
    const auto now = system_clock::now();
    EXPECT_EQ(MakeFetchOutcome("x", 503, TransferFailure::None, block, now).retryAfter, seconds(7));
    EXPECT_EQ(MakeFetchOutcome("x", 429, TransferFailure::None, block, now).retryAfter, seconds(7));
    EXPECT_EQ(MakeFetchOutcome("x", 500, TransferFailure::None, block, now).retryAfter, std::nullopt);
    EXPECT_EQ(MakeFetchOutcome("x", 503, TransferFailure::None, "HTTP/1.1 503 x\r\n\r\n", now).retryAfter,
              std::nullopt);
}

}  // namespace
}  // namespace tollenby
