// Retries: the schedule and its jitter, Retry-After, cancellation of a wait, and real transfers that
// fail in the ways servers fail.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/web/local_servers.h"
#include "web/fetch_retry.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::HttpServer;

FetchOutcome Outcome(FetchVerdict verdict, int status = 0) {
    FetchOutcome outcome;
    outcome.verdict = verdict;
    outcome.status = status;
    if (verdict == FetchVerdict::Ok) outcome.body = "page";
    return outcome;
}

TEST(RetryWait, OneThenThreeSecondsWithinAQuarterEitherWay) {
    const FetchOutcome failed = Outcome(FetchVerdict::Transient, 500);
    EXPECT_EQ(RetryWait(1, failed, 0.0), 1000ms);
    EXPECT_EQ(RetryWait(1, failed, -1.0), 750ms);
    EXPECT_EQ(RetryWait(1, failed, 1.0), 1250ms);
    EXPECT_EQ(RetryWait(2, failed, 0.0), 3000ms);
    EXPECT_EQ(RetryWait(2, failed, -1.0), 2250ms);
    EXPECT_EQ(RetryWait(2, failed, 1.0), 3750ms);
}

TEST(RetryWait, RetryAfterReplacesTheWaitUpToThirtySeconds) {
    FetchOutcome failed = Outcome(FetchVerdict::Transient, 429);
    failed.retryAfter = std::chrono::seconds(1);
    EXPECT_EQ(RetryWait(1, failed, 1.0), 1000ms);
    EXPECT_EQ(RetryWait(2, failed, -1.0), 1000ms);
    failed.retryAfter = std::chrono::seconds(3600);
    EXPECT_EQ(RetryWait(1, failed, 0.0), 30'000ms);
    failed.retryAfter = std::chrono::seconds::max();
    EXPECT_EQ(RetryWait(1, failed, 0.0), 30'000ms);
}

// Hands out the given outcomes in turn and records when each attempt came.
struct ScriptedAttempts {
    std::vector<FetchOutcome> script;
    int calls = 0;
    FetchAttempt Attempt() {
        return [this](std::stop_token) { return script[static_cast<std::size_t>(calls++)]; };
    }
};

TEST(FetchWithRetries, TransientFailuresAreTriedAgainAtMostTwiceMore) {
    ScriptedAttempts scripted{{Outcome(FetchVerdict::Transient, 503), Outcome(FetchVerdict::Transient, 0),
                               Outcome(FetchVerdict::Ok, 200)}};
    std::vector<milliseconds> waits;
    FetchOutcome outcome =
        FetchWithRetries(scripted.Attempt(), RetryPolicy{.extraTries = 2, .waitScale = 0.01}, {},
                         [&](milliseconds wait) { waits.push_back(wait); });
    EXPECT_TRUE(outcome.Ok());
    EXPECT_EQ(outcome.attempts, 3);
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_GE(waits[0], 7ms);  // 1 s +/- 25 %, scaled by 0.01
    EXPECT_LE(waits[0], 13ms);
    EXPECT_GE(waits[1], 22ms);  // 3 s +/- 25 %, scaled
    EXPECT_LE(waits[1], 38ms);

    ScriptedAttempts always{std::vector<FetchOutcome>(3, Outcome(FetchVerdict::Transient, 502))};
    outcome = FetchWithRetries(always.Attempt(), RetryPolicy{.extraTries = 2, .waitScale = 0.001}, {});
    EXPECT_EQ(outcome.verdict, FetchVerdict::Transient);
    EXPECT_EQ(always.calls, 3);
    EXPECT_EQ(outcome.attempts, 3);
}

TEST(FetchWithRetries, PermanentFailuresAndASingleTryPolicyAskOnce) {
    ScriptedAttempts notFound{{Outcome(FetchVerdict::Permanent, 404), Outcome(FetchVerdict::Ok, 200)}};
    EXPECT_EQ(FetchWithRetries(notFound.Attempt(), {}, {}).verdict, FetchVerdict::Permanent);
    EXPECT_EQ(notFound.calls, 1);

    ScriptedAttempts busy{{Outcome(FetchVerdict::Transient, 503), Outcome(FetchVerdict::Ok, 200)}};
    FetchOutcome outcome = FetchWithRetries(busy.Attempt(), RetryPolicy{.extraTries = 0}, {});
    EXPECT_EQ(outcome.verdict, FetchVerdict::Transient);
    EXPECT_EQ(busy.calls, 1);
}

TEST(FetchWithRetries, StopCutsAWaitAtOnce) {
    ScriptedAttempts scripted{{Outcome(FetchVerdict::Transient, 503), Outcome(FetchVerdict::Ok, 200)}};
    std::stop_source stop;
    std::atomic<bool> waiting{false};
    std::thread stopper([&] {
        while (!waiting.load()) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
        stop.request_stop();
    });
    auto start = std::chrono::steady_clock::now();
    // A 30 s wait (Retry-After-sized) that Stop must cut.
    FetchOutcome outcome =
        FetchWithRetries(scripted.Attempt(), RetryPolicy{.extraTries = 2, .waitScale = 30.0},
                         stop.get_token(), [&](milliseconds) { waiting.store(true); });
    auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_EQ(outcome.verdict, FetchVerdict::Cancelled);
    EXPECT_EQ(scripted.calls, 1);
    EXPECT_LT(took, 5s);
}

// Real transfers against a local server, with the waits shortened.
class RetryingFetch : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitHttp(); }

    void SetUp() override {
        auto& server = server_.server();
        server.Get("/busy-once", [this](const httplib::Request&, httplib::Response& res) {
            if (busyAsked_++ == 0) {
                res.status = 503;
                res.set_header("Retry-After", "Thu, 01 Jan 1970 00:00:00 GMT");  // past: no wait at all
                res.set_content("busy", "text/plain");
            } else {
                res.set_content("page", "text/html");
            }
        });
        server.Get("/missing", [this](const httplib::Request&, httplib::Response& res) {
            ++missingAsked_;
            res.status = 404;
            res.set_content("gone", "text/plain");
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
        server.Get("/loop",
                   [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
        server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(2u << 20, 'x'), "text/plain");
        });
        server.Get("/drip", [this](const httplib::Request&, httplib::Response& res) {
            ++dripAsked_;
            res.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(300ms);
                return sink.write("x", 1);
            });
        });
        server_.Start();
    }

    FetchOutcome Fetch(const std::string& path, FetchLimits limits = kDetailPageLimits) {
        return FetchPageRetrying(server_.Url(path), fastRetries_, {}, limits);
    }

    HttpServer server_;
    RetryPolicy fastRetries_{.extraTries = 2, .waitScale = 0.01};
    std::atomic<int> busyAsked_{0};
    std::atomic<int> missingAsked_{0};
    std::atomic<int> dripAsked_{0};
};

TEST_F(RetryingFetch, AnswersThatFailOnceAreReadOnTheSecondTry) {
    FetchOutcome outcome = Fetch("/busy-once");
    EXPECT_TRUE(outcome.Ok());
    EXPECT_EQ(outcome.body, "page");
    EXPECT_EQ(outcome.attempts, 2);
    EXPECT_EQ(busyAsked_.load(), 2);
}

TEST_F(RetryingFetch, PermanentFailuresAreAskedForOnce) {
    FetchOutcome notFound = Fetch("/missing");
    EXPECT_EQ(notFound.verdict, FetchVerdict::Permanent);
    EXPECT_EQ(notFound.status, 404);
    EXPECT_EQ(notFound.body, "gone");
    EXPECT_EQ(missingAsked_.load(), 1);

    EXPECT_EQ(Fetch("/empty").verdict, FetchVerdict::Permanent);

    FetchOutcome loop = Fetch("/loop");
    EXPECT_EQ(loop.transfer, TransferFailure::TooManyRedirects);
    EXPECT_EQ(loop.verdict, FetchVerdict::Permanent);
    EXPECT_EQ(loop.attempts, 1);

    FetchLimits small = kDetailPageLimits;
    small.maxBodyBytes = 1u << 20;
    FetchOutcome big = Fetch("/big", small);
    EXPECT_EQ(big.transfer, TransferFailure::OverCap);
    EXPECT_EQ(big.verdict, FetchVerdict::Permanent);
    EXPECT_TRUE(big.body.empty());
}

TEST_F(RetryingFetch, NoServerAndASlowTransferAreTransientAndTriedThrice) {
    FetchOutcome refused = FetchPageRetrying(
        "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/", fastRetries_, {});
    EXPECT_EQ(refused.transfer, TransferFailure::NoResponse);
    EXPECT_EQ(refused.verdict, FetchVerdict::Transient);
    EXPECT_EQ(refused.attempts, 3);

    // A byte every 300 ms is far below 1 KB/s: with a one-second low-speed window each try ends soon.
    FetchLimits limits = kDetailPageLimits;
    limits.lowSpeedTime = std::chrono::seconds(1);
    FetchOutcome drip = Fetch("/drip", limits);
    EXPECT_EQ(drip.transfer, TransferFailure::TimedOut);
    EXPECT_EQ(drip.verdict, FetchVerdict::Transient);
    EXPECT_EQ(dripAsked_.load(), 3);
}

}  // namespace
}  // namespace tollenby
