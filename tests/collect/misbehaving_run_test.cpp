// Runs against the demo site's misbehaving pages and against a site that is down: every row ends
// with what really happened to it, the completion waits for the run's own workers and counts the
// failures, and Stop says so. The concurrency cases here also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "collect/collect_texts.h"
#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "collect/search_phase.h"
#include "demo/demo_site.h"
#include "demo/misbehaving_pages.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using demo::MisbehavingEntry;
using demo::Misbehaviour;

// The stall and low-speed limits shortened alike, so the run keeps its shape in seconds instead of
// minutes: a silent server costs 6 s a try, a dripping one about 5 s, the late page (4 s) still
// arrives.
FetchLimits ShortLimits() {
    FetchLimits limits = kDetailPageLimits;
    limits.stall = 6s;
    limits.total = 20s;
    limits.lowSpeedTime = 5s;
    return limits;
}
constexpr double kWaitScale = 0.1;

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class HonestRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitHttp(); }

    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        port_ = std::make_shared<MemoryWindowPort>();
        port_->SetKeywordText(Utf8ToLocal("美食\r\n"));
    }
    void TearDown() override { collector_.reset(); }

    Collector& MakeCollector(const std::string& host) {
        CollectorOptions options;
        options.searchHost = host;
        options.completionPause = 20ms;
        options.restrictToFirstProcessor = false;
        options.fetch.retry = RetryPolicy{.extraTries = 2, .waitScale = kWaitScale};
        options.fetch.detailLimits = ShortLimits();
        collector_ = std::make_unique<Collector>(port_, state_, options);
        return *collector_;
    }

    std::string Cell(std::size_t row, int column) const {
        return AnsiToUtf8(port_->Rows().CellAt(row, column));
    }
    std::size_t Asked(const std::string& url) const {
        const std::string path = url.substr(site_.BaseUrl().size());
        std::vector<std::string> targets = site_.RequestTargetsStartingWith(path);
        return static_cast<std::size_t>(std::count(targets.begin(), targets.end(), path));
    }
    bool StatusSeen(const Text& text) const {
        std::vector<Text> history = port_->StatusHistory();
        return std::find(history.begin(), history.end(), text) != history.end();
    }

    demo::DemoSite site_;
    SharedState state_;
    std::shared_ptr<MemoryWindowPort> port_;
    std::unique_ptr<Collector> collector_;
};

TEST_F(HonestRun, EveryRowEndsWithWhatHappenedToItsPage) {
    site_.SetMisbehaving(true);
    MakeCollector(site_.HostPort());
    port_->SetPageCountText("2");  // the second search page answers 500 every time
    port_->SetThreadCountText("20");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(port_->WaitForRunsEnded(1, 90s));
    const auto took = std::chrono::steady_clock::now() - start;

    const std::vector<MisbehavingEntry> entries = demo::MisbehavingEntries(site_.BaseUrl());
    ASSERT_EQ(port_->Rows().Count(), entries.size());
    std::set<std::string> expectedRegions;
    std::size_t failed = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const demo::DemoEntry& entry = entries[i].entry;
        SCOPED_TRACE("row " + std::to_string(i) + " behaviour " +
                     std::to_string(static_cast<int>(entries[i].behaviour)));
        EXPECT_EQ(Cell(i, kColumnUrl), entry.url);
        if (demo::MisbehavingPageIsRead(entries[i].behaviour)) {
            EXPECT_EQ(Cell(i, kColumnStatus), "采集完成");
            EXPECT_EQ(Cell(i, kColumnRegion), entry.deleted ? "文章已经删除" : entry.region);
            EXPECT_EQ(Cell(i, kColumnQrImage), entry.deleted ? "文章已经删除" : entry.qrImage);
            if (!entry.deleted) expectedRegions.insert(entry.region);
        } else {
            ++failed;
            EXPECT_EQ(Cell(i, kColumnStatus), "采集失败");
            for (int column = kColumnDescription; column <= kColumnQrImage; ++column)
                EXPECT_EQ(Cell(i, column), "") << "column " << column;
        }
        switch (entries[i].behaviour) {
            case Misbehaviour::Busy503Once:
            case Misbehaviour::TooMany429Once:
                EXPECT_EQ(Asked(entry.url), 2u);
                break;
            case Misbehaviour::NotFound:
            case Misbehaviour::None:
            case Misbehaviour::Late:
            case Misbehaviour::Huge:
                EXPECT_EQ(Asked(entry.url), 1u);
                break;
            case Misbehaviour::NeverAnswers:
            case Misbehaviour::Drips:
            case Misbehaviour::ResetsMidBody:
                EXPECT_EQ(Asked(entry.url), 3u);
                break;
            case Misbehaviour::RedirectLoop:
                break;
        }
    }
    EXPECT_EQ(failed, 6u);
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(entries.size(), failed, 1));
    EXPECT_EQ(AnsiToUtf8(port_->StatusText()), "采集完成！共计采集结果：11条，失败：6条，搜索页失败：1页");

    // Regions of the late and the retried rows are in the box too, and nothing of the failed ones.
    TextArray items = port_->RegionItems();
    std::set<std::string> shown;
    for (const Text& item : items) shown.insert(AnsiToUtf8(item));
    EXPECT_EQ(shown, expectedRegions);

    std::vector<RunSummary> summaries = port_->RunSummaries();
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].rows, entries.size());
    EXPECT_EQ(summaries[0].rowsFailed, failed);
    EXPECT_EQ(summaries[0].searchPagesFailed, 1u);
    EXPECT_FALSE(summaries[0].stopped);

    // Designed bound: three tries of the slowest page (its stall time each) and the two waits at their
    // longest; the rest runs beside it. Generous slack for a loaded machine.
    const auto bound =
        3 * ShortLimits().stall + std::chrono::duration_cast<std::chrono::milliseconds>(
                                      (kFirstRetryWait + kLaterRetryWait) * (1 + kRetryJitter) * kWaitScale);
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    // Sanitizer builds run many times slower (the 64 MiB of the huge page most of all); they check
    // the outcomes and the races, not the time.
    static_cast<void>(took);
    static_cast<void>(bound);
#else
    EXPECT_LT(took, bound + 10s) << "took "
                                 << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                                 << " ms, bound " << bound.count() << " ms";
#endif
}

TEST_F(HonestRun, ASiteThatIsDownLeavesATraceInTheCompletion) {
    demo::DemoSite down;
    ASSERT_TRUE(down.Start());
    const std::string host = down.HostPort();
    down.Stop();
    MakeCollector(host);
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(port_->WaitForRunsEnded(1, 30s));
    EXPECT_EQ(AnsiToUtf8(port_->StatusText()), "采集完成！共计采集结果：0条，搜索页失败：1页");
}

TEST_F(HonestRun, CompletionWaitsForTheRunsOwnWorkers) {
    MakeCollector(site_.HostPort());
    port_->SetThreadCountText("20");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    const std::size_t rows = site_.ExpectedEntries("美食", 1).size();
    ASSERT_TRUE(site_.WaitForInFlight(static_cast<int>(rows), 20s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(port_->StatusText(), Text(kDetailPhaseText)) << "no completion while workers still run";
    EXPECT_TRUE(port_->RunSummaries().empty());
    site_.ResumeResponses();
    ASSERT_TRUE(port_->WaitForRunsEnded(1, 20s));
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(rows));
    for (std::size_t i = 0; i < rows; ++i) EXPECT_EQ(Cell(i, kColumnStatus), "采集完成") << i;
}

TEST_F(HonestRun, StopDuringTheCompletionWaitSaysSoAndEndsTheRunOnce) {
    for (std::chrono::milliseconds delay : {0ms, 5ms, 40ms}) {
        SCOPED_TRACE(delay.count());
        port_ = std::make_shared<MemoryWindowPort>();
        port_->SetKeywordText(Utf8ToLocal("美食\r\n"));
        port_->SetThreadCountText("20");
        MakeCollector(site_.HostPort());
        site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
        ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
        ASSERT_TRUE(site_.WaitForInFlight(1, 20s));
        std::this_thread::sleep_for(delay);
        collector_->Stop();
        const Text stopped = RunStoppedStatusText(port_->RowCount());
        EXPECT_EQ(port_->StatusText(), stopped);
        EXPECT_TRUE(port_->CollectEnabled());
        site_.ResumeResponses();
        ASSERT_TRUE(collector_->WaitUntilIdle(20s));
        EXPECT_EQ(port_->StatusText(), stopped) << "nothing of the run is written after Stop";
        std::vector<RunSummary> summaries = port_->RunSummaries();
        ASSERT_EQ(summaries.size(), 1u);
        EXPECT_TRUE(summaries[0].stopped);
        EXPECT_TRUE(port_->RegionItems().empty());
        collector_.reset();
    }
}

TEST_F(HonestRun, ASecondCollectDuringTheCompletionWaitTakesOver) {
    MakeCollector(site_.HostPort());
    port_->SetThreadCountText("20");
    site_.SetLatency(30ms);
    std::atomic<bool> done{false};
    // Waits for idleness meanwhile, as a headless front end would, while runs come and go.
    std::thread waiter([&] {
        while (!done.load()) collector_->WaitUntilIdle(5ms);
    });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(Eventually([&] { return StatusSeen(Text(kDetailPhaseText)); }));
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(port_->WaitForRunsEnded(2, 30s));
    done.store(true);
    waiter.join();
    ASSERT_TRUE(collector_->WaitUntilIdle(20s));

    std::vector<RunSummary> summaries = port_->RunSummaries();
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_TRUE(summaries[0].stopped);
    EXPECT_FALSE(summaries[1].stopped);
    const std::size_t rows = site_.ExpectedEntries("美食", 1).size();
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(rows));
    std::vector<Text> history = port_->StatusHistory();
    EXPECT_EQ(std::count(history.begin(), history.end(), RunCompleteStatusText(rows)), 1)
        << "only the second run completes";
}

}  // namespace
}  // namespace tollenby
