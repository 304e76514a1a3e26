// Failures, time-outs and cancellation of the two fetchers.
#include <gtest/gtest.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>

#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using testing::kOkReply;
using testing::MillisecondsOf;
using testing::QuickLimits;
using testing::RawListener;

TEST(FetchFailures, SilentServerEndsAtTheStallLimit) {
    RawListener silent("", true);
    int status = -1;
    FetchControl control = QuickLimits();
    control.statusCode = &status;
    Text block = "untouched";
    long long ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPage(silent.Url("/s"), 0, {}, nullptr, nullptr, nullptr, &block, false, nullptr, {},
                            control),
                  "");
    });
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(block, "");

    // timeoutSeconds 1 bounds the wait for the answer to one second.
    ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPageByRequestObject(silent.Url("/s"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                           &status, false, {}, {}, 1),
                  "");
    });
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(status, 0);
}

TEST(FetchFailures, RefusedConnectionIsQuickAndEmpty) {
    std::string url = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/x";
    Text headers, cookies = "a=1 ; b=deleted";
    long long ms = MillisecondsOf([&] {
        EXPECT_EQ(FetchPage(url), "");
        EXPECT_EQ(FetchPageByRequestObject(url, 0, {}, &cookies, nullptr, &headers), "");
    });
    EXPECT_LT(ms, 5000);
    // The outputs are still written: the composed headers, and the cookies merged.
    EXPECT_TRUE(headers.starts_with("Accept: */*\r\nReferer: " + url));
    EXPECT_EQ(cookies, "a=1");
}

TEST(FetchFailures, RequestObjectTimeoutMapping) {
    struct Case {
        int timeoutSeconds;
        long long connectMs, stallMs;
    } cases[] = {{0, 15000, 15000}, {-5, 15000, 15000}, {5, 5000, 5000}, {-1, 60000, 30000}};
    for (const Case& c : cases) {
        FetchLimits limits = RequestObjectLimits(c.timeoutSeconds);
        EXPECT_EQ(limits.connect.count(), c.connectMs) << c.timeoutSeconds;
        EXPECT_EQ(limits.stall.count(), c.stallMs) << c.timeoutSeconds;
        EXPECT_GE(limits.total, limits.connect + limits.stall);
    }
}

TEST(FetchFailures, CancelMidTransfer) {
    // Headers and the first bytes of a long body, then silence.
    RawListener trickle("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nfirst bytes", true);
    for (bool requestObject : {false, true}) {
        std::stop_source token;
        std::thread canceller([token] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            token.request_stop();
        });
        FetchControl control;  // the default 30 s stall limit: only the token can end this soon
        control.stop = token.get_token();
        ByteString body = "unset";
        long long ms = MillisecondsOf([&] {
            body = requestObject ? FetchPageByRequestObject(trickle.Url("/c"), 0, {}, nullptr, nullptr,
                                                            nullptr, nullptr, nullptr, false, {}, {}, 0, {},
                                                            {}, 1, nullptr, control)
                                 : FetchPage(trickle.Url("/c"), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                             false, nullptr, {}, control);
        });
        canceller.join();
        EXPECT_EQ(body, "");
        EXPECT_GE(ms, 250);
        EXPECT_LT(ms, 300 + 1000);  // abandoned promptly, far from any time-out
    }
    // A token set beforehand stops the call before anything goes out.
    RawListener listener(kOkReply);
    FetchControl control;
    std::stop_source early;
    early.request_stop();
    control.stop = early.get_token();
    EXPECT_EQ(FetchPage(listener.Url("/never"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                        control),
              "");
    EXPECT_TRUE(listener.Requests().empty());
}

}  // namespace
}  // namespace tollenby
