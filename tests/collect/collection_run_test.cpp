// Whole collection runs against the demo directory site, through the in-memory window port.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "collect/collect_texts.h"
#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "collect/search_phase.h"
#include "demo/demo_site.h"
#include "match/dedup_texts.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using demo::DemoEntry;
using Row = std::array<std::string, kColumnCount>;  // UTF-8, to read failures

Text Gbk(std::string_view utf8) {
    return Utf8ToLocal(utf8);
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

Row ExpectedRow(const DemoEntry& entry, std::size_t number) {
    return {std::to_string(number), entry.title, entry.url,    entry.source, entry.description,
            entry.industry,         entry.time,  entry.region, entry.tags,   entry.accountId,
            entry.qrImage,          "采集完成"};
}

class CollectionRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitHttp(); }

    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        port_ = std::make_shared<MemoryWindowPort>();
    }

    void TearDown() override { collector_.reset(); }

    Collector& MakeCollector(std::chrono::milliseconds completionPause = 20ms) {
        CollectorOptions options;
        options.searchHost = site_.HostPort();
        options.completionPause = completionPause;
        options.restrictToFirstProcessor = false;
        collector_ = std::make_unique<Collector>(port_, state_, options);
        return *collector_;
    }

    // Sets the keyword box from UTF-8 keywords, each line ended by CR LF.
    void SetKeywords(const std::vector<std::string>& keywords) {
        std::string text;
        for (const std::string& keyword : keywords) text += keyword + "\r\n";
        port_->SetKeywordText(Gbk(text));
    }

    std::vector<DemoEntry> Expected(const std::vector<std::string>& keywords, int pages) const {
        std::vector<DemoEntry> entries;
        for (const std::string& keyword : keywords)
            for (int page = 1; page <= pages; ++page)
                for (DemoEntry& entry : site_.ExpectedEntries(keyword, page))
                    entries.push_back(std::move(entry));
        return entries;
    }

    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        const ResultRows& store = port_->Rows();
        for (std::size_t i = 0; i < store.Count(); ++i) {
            Row row;
            for (int c = 0; c < kColumnCount; ++c) row[c] = AnsiToUtf8(store.CellAt(i, c));
            rows.push_back(row);
        }
        return rows;
    }

    TextArray RegionListNow() {
        std::lock_guard lock(state_.RegionListLock);
        return state_.RegionList;
    }

    std::vector<std::string> SearchTargets() const { return site_.RequestTargetsStartingWith("/cse/search"); }
    std::vector<std::string> DetailTargets() const { return site_.RequestTargetsStartingWith("/detail/"); }

    void CollectAndWait() {
        ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
        ASSERT_TRUE(collector_->WaitUntilIdle(60s));
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

TEST_F(CollectionRun, ListsAndCompletesEveryHitOfEveryKeywordAndPage) {
    const std::vector<std::string> keywords{"美食", "旅游 攻略"};
    MakeCollector();
    SetKeywords(keywords);
    port_->SetPageCountText("3");
    CollectAndWait();

    std::vector<DemoEntry> entries = Expected(keywords, 3);
    std::vector<Row> expected;
    for (std::size_t i = 0; i < entries.size(); ++i) expected.push_back(ExpectedRow(entries[i], i + 1));
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], expected[i]) << "row " << i;

    // The site's spread is all in this run: gone entries, missing IDs and images, a hit without source.
    auto any = [&](auto pick) { return std::any_of(entries.begin(), entries.end(), pick); };
    EXPECT_TRUE(any([](const DemoEntry& e) { return e.deleted; }));
    EXPECT_TRUE(any([](const DemoEntry& e) { return e.accountId == "无"; }));
    EXPECT_TRUE(any([](const DemoEntry& e) { return !e.deleted && e.qrImage.empty(); }));
    EXPECT_TRUE(any([](const DemoEntry& e) { return e.source.empty(); }));
    EXPECT_TRUE(
        any([](const DemoEntry& e) { return e.description.find('\n') != e.description.rfind('\n'); }));

    std::vector<Text> status;
    for (std::size_t k = 0; k < keywords.size(); ++k)
        for (int page = 1; page <= 3; ++page)
            status.push_back(SearchingStatusText(Gbk(keywords[k]), k + 1, keywords.size(), page));
    status.push_back(Text(kDetailPhaseText));
    status.push_back(RunCompleteStatusText(expected.size()));
    EXPECT_EQ(port_->StatusHistory(), status);
    EXPECT_TRUE(port_->CollectEnabled());
    EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
    EXPECT_EQ(DetailTargets().size(), expected.size());
}

TEST_F(CollectionRun, RequestsExactlyTheSearchAddresses) {
    MakeCollector();
    port_->SetKeywordText(Gbk("中文\r\n\r\nab c\r\n"));
    port_->SetPageCountText("2");
    port_->SetTimeFilter(TimeFilter::OneDay);
    CollectAndWait();
    const std::string tail = "&s=1626844590849882386&sti=1440&nsid=0&entry=1";
    EXPECT_EQ(SearchTargets(), (std::vector<std::string>{
                                   "/cse/search?q=%E4%B8%AD%E6%96%87&p=1" + tail,
                                   "/cse/search?q=%E4%B8%AD%E6%96%87&p=2" + tail,
                                   "/cse/search?q=&p=1" + tail,
                                   "/cse/search?q=&p=2" + tail,
                                   "/cse/search?q=ab%20c&p=1" + tail,
                                   "/cse/search?q=ab%20c&p=2" + tail,
                               }));

    const std::pair<TimeFilter, std::string> filters[] = {
        {TimeFilter::OneMonth, "&s=1626844590849882386&sti=43200&nsid=0"},
        {TimeFilter::OneWeek, "&s=1626844590849882386&sti=10080&nsid=0"},
        {TimeFilter::AllTime, "&s=1626844590849882386&nsid=0"},
    };
    port_->SetKeywordText("x");  // a last line without CR LF is a keyword too
    port_->SetPageCountText(" +1");
    for (const auto& [filter, filterTail] : filters) {
        site_.ResetRecords();
        port_->SetTimeFilter(filter);
        CollectAndWait();
        EXPECT_EQ(SearchTargets(), std::vector<std::string>{"/cse/search?q=x&p=1" + filterTail});
    }
}

TEST_F(CollectionRun, PageCountsWithoutPagesRequestNothing) {
    MakeCollector();
    port_->SetKeywordText(Gbk("美食\r\n"));
    for (const char* count : {"0", "-2", "x", ""}) {
        site_.ResetRecords();
        port_->SetPageCountText(count);
        CollectAndWait();
        EXPECT_TRUE(site_.RequestTargets().empty()) << count;
        EXPECT_EQ(port_->StatusHistory().back(), RunCompleteStatusText(0)) << count;
        EXPECT_EQ(port_->Rows().Count(), 0u);
    }
    // No searching text was ever shown.
    for (const Text& text : port_->StatusHistory()) EXPECT_NE(text.rfind(kSearchingKeywordText, 0), 0u);
}

TEST_F(CollectionRun, AnEmptyKeywordBoxStartsNothing) {
    MakeCollector();
    port_->SetRegionItems({"a"});
    EXPECT_EQ(collector_->Collect(), CollectOutcome::NoKeywords);
    EXPECT_FALSE(collector_->SearchRunning());
    EXPECT_EQ(port_->RegionItems(), TextArray{"a"});
    EXPECT_TRUE(port_->StatusHistory().empty());
}

TEST_F(CollectionRun, StopDuringTheSearchPhaseAbandonsTheRequestInFlight) {
    MakeCollector();
    SetKeywords({"美食", "旅游"});
    port_->SetPageCountText("3");
    site_.PauseResponses();
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(1, 20s));
    collector_->Stop();
    EXPECT_TRUE(port_->CollectEnabled());
    // The job ends while the site still holds its request: the fetch was abandoned, not waited for.
    EXPECT_TRUE(collector_->WaitUntilIdle(10s));
    EXPECT_EQ(site_.InFlight(), 1);
    site_.ResumeResponses();
    EXPECT_EQ(SearchTargets().size(), 1u);
    EXPECT_TRUE(DetailTargets().empty());
    EXPECT_EQ(port_->StatusText(), RunStoppedStatusText(0));
    EXPECT_EQ(port_->StatusHistory().size(), 2u);
    EXPECT_TRUE(port_->RegionItems().empty());
    EXPECT_EQ(port_->Rows().Count(), 0u);
    EXPECT_TRUE(port_->CollectEnabled());
    EXPECT_EQ(state_.CollectStopFlag.load(), 1);
}

TEST_F(CollectionRun, StopDuringTheDetailPhaseLetsStartedWorkersFinishAndALaterRunComplete) {
    const std::vector<std::string> keywords{"美食"};
    MakeCollector();
    SetKeywords(keywords);
    port_->SetPageCountText("2");
    port_->SetThreadCountText("2");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(2, 20s));
    collector_->Stop();
    Text lastStatus = port_->StatusText();
    site_.ResumeResponses();
    ASSERT_TRUE(collector_->WaitUntilIdle(20s));

    std::vector<DemoEntry> entries = Expected(keywords, 2);
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), entries.size());
    ASSERT_EQ(DetailTargets().size(), 2u);  // no worker after Stop
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i < 2)
            EXPECT_EQ(rows[i], ExpectedRow(entries[i], i + 1)) << "started rows are finished";
        else
            EXPECT_EQ(rows[i][kColumnStatus], "") << i;
    }
    EXPECT_EQ(lastStatus, RunStoppedStatusText(entries.size()));
    EXPECT_EQ(port_->StatusText(), lastStatus);
    EXPECT_TRUE(port_->RegionItems().empty());
    EXPECT_TRUE(port_->CollectEnabled());

    // The next run is not held back by the earlier Stop.
    site_.ResetRecords();
    CollectAndWait();
    rows = Rows();
    ASSERT_EQ(rows.size(), entries.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], ExpectedRow(entries[i], i + 1)) << i;
    EXPECT_EQ(DetailTargets().size(), entries.size());
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(entries.size()));
}

TEST_F(CollectionRun, ClearDuringTheSearchPhaseNumbersLaterRowsFromOne) {
    const std::vector<std::string> keywords{"美食"};
    MakeCollector();
    SetKeywords(keywords);
    port_->SetPageCountText("2");
    site_.PauseResponses([](const std::string& target) { return target.find("&p=2&") != std::string::npos; });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForRequests(2, 20s));  // the second page is held, the first is listed
    ASSERT_EQ(port_->Rows().Count(), site_.ExpectedEntries(keywords[0], 1).size());
    port_->ClearRows();
    site_.ResumeResponses();
    ASSERT_TRUE(collector_->WaitUntilIdle(20s));

    std::vector<DemoEntry> second = site_.ExpectedEntries(keywords[0], 2);
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), second.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], ExpectedRow(second[i], i + 1)) << i;
    EXPECT_EQ(DetailTargets().size(), second.size());
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(second.size()));
}

TEST_F(CollectionRun, ClearDuringTheDetailPhaseWritesNowhereAndStartsNoMoreWorkers) {
    MakeCollector();
    SetKeywords({"美食"});
    port_->SetPageCountText("2");
    port_->SetThreadCountText("2");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(2, 20s));
    port_->ClearRows();
    port_->Rows().Append("mine", "u", "s");  // a row of the user's own, at the cleared rows' positions
    site_.ResumeResponses();
    ASSERT_TRUE(collector_->WaitUntilIdle(20s));
    EXPECT_EQ(DetailTargets().size(), 2u);
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (Row{"1", "mine", "u", "s", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(1));
}

TEST_F(CollectionRun, NeverMoreThanTheThreadCountAtOnceAndAChangeCountsAtOnce) {
    MakeCollector();
    SetKeywords({"美食", "旅游", "读书"});
    port_->SetPageCountText("2");
    port_->SetThreadCountText("3");
    site_.SetLatency(60ms);
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForRequests(6 + 9, 30s));  // six search pages, then nine detail pages
    port_->SetThreadCountText("8");
    std::size_t switchedAt = site_.Requests().size();
    ASSERT_TRUE(collector_->WaitUntilIdle(60s));

    std::vector<demo::RequestRecord> records = site_.Requests();
    int before = 0, after = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].target.starts_with("/detail/")) continue;
        (i < switchedAt ? before : after) =
            std::max(i < switchedAt ? before : after, records[i].inFlightAtArrival);
    }
    EXPECT_EQ(before, 3);
    EXPECT_GT(after, 3);
    EXPECT_LE(after, 8);
    EXPECT_EQ(DetailTargets().size(), port_->Rows().Count());
}

TEST_F(CollectionRun, TheRegionBoxOffersEachRegionOnceAfterTheRun) {
    const std::vector<std::string> keywords{"美食", "旅游"};
    MakeCollector(300ms);
    SetKeywords(keywords);
    port_->SetPageCountText("3");
    port_->SetThreadCountText("1");  // one at a time: the regions arrive in row order
    CollectAndWait();

    TextArray regions;
    for (const DemoEntry& entry : Expected(keywords, 3))
        if (!entry.deleted) regions.push_back(Gbk(entry.region));
    DedupTexts(regions);
    EXPECT_EQ(port_->RegionItems(), regions);
    EXPECT_EQ(port_->SelectedRegion(), std::optional<std::size_t>(0));
    // The run covers a page without region: its empty text is an empty item.
    EXPECT_NE(std::find(regions.begin(), regions.end(), ""), regions.end());
}

TEST_F(CollectionRun, WorkersOfAnEarlierRunNeverTouchTheNextRun) {
    MakeCollector();
    SetKeywords({"美食"});
    port_->SetPageCountText("1");
    port_->SetThreadCountText("3");
    std::set<std::string> heldTargets;
    for (const DemoEntry& entry : site_.ExpectedEntries("美食", 1))
        heldTargets.insert(entry.url.substr(site_.BaseUrl().size()));
    site_.PauseResponses([heldTargets](const std::string& target) { return heldTargets.count(target) > 0; });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(3, 20s));
    collector_->Stop();

    const std::vector<std::string> next{"读书"};
    SetKeywords(next);
    port_->SetThreadCountText("5");
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    std::vector<DemoEntry> entries = Expected(next, 1);
    auto secondRunDone = [&] {
        std::vector<Row> rows = Rows();
        return rows.size() == entries.size() && !port_->RegionItems().empty() &&
               std::all_of(rows.begin(), rows.end(),
                           [](const Row& row) { return row[kColumnStatus] == "采集完成"; });
    };
    ASSERT_TRUE(Eventually(secondRunDone));
    TextArray regionsBefore = RegionListNow();
    site_.ResumeResponses();  // the first run's three workers finish now
    ASSERT_TRUE(collector_->WaitUntilIdle(20s));

    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), entries.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], ExpectedRow(entries[i], i + 1)) << i;
    EXPECT_EQ(RegionListNow(), regionsBefore) << "no late region of the first run";
}

TEST_F(CollectionRun, ShutdownEndsARunAtOnceWhateverTheSiteDoes) {
    for (const char* heldPrefix : {"/cse/search", "/detail/"}) {
        MakeCollector();
        SetKeywords({"美食"});
        port_->SetThreadCountText("2");
        std::string prefix = heldPrefix;
        site_.PauseResponses([prefix](const std::string& target) { return target.starts_with(prefix); });
        ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
        ASSERT_TRUE(site_.WaitForInFlight(heldPrefix == std::string("/detail/") ? 2 : 1, 20s));
        // Should the shutdown wait for the site after all, the site lets go after a while and the
        // test fails instead of hanging.
        std::mutex watchdogLock;
        std::condition_variable watchdogWake;
        bool released = false;
        std::thread watchdog([&] {
            std::unique_lock lock(watchdogLock);
            if (!watchdogWake.wait_for(lock, 15s, [&] { return released; })) site_.ResumeResponses();
        });
        collector_.reset();  // joins every thread; held requests are abandoned
        bool whileHeld = site_.InFlight() > 0;
        {
            std::lock_guard lock(watchdogLock);
            released = true;
        }
        watchdogWake.notify_all();
        watchdog.join();
        site_.ResumeResponses();
        EXPECT_TRUE(whileHeld) << heldPrefix;
        EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
        ASSERT_TRUE(Eventually([&] { return site_.InFlight() == 0; }));
        site_.ResetRecords();
    }
}

TEST_F(CollectionRun, CollectKeepsTheProcessOnOneProcessor) {
    CollectorOptions options;
    options.searchHost = site_.HostPort();
    options.completionPause = 0ms;
    collector_ = std::make_unique<Collector>(port_, state_, options);
    port_->SetKeywordText("x");
    port_->SetPageCountText("0");
    CollectAndWait();
    cpu_set_t mask;
    ASSERT_EQ(sched_getaffinity(0, sizeof mask, &mask), 0);
    EXPECT_EQ(CPU_COUNT(&mask), 1);
}

}  // namespace
}  // namespace tollenby
