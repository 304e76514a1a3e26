// The detail workers that live for the run: which threads work the rows, how a changed thread count
// and Stop act on them, and that the run's completion waits for their rows.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "collect/collect_texts.h"
#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "collect/search_phase.h"
#include "demo/demo_site.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Notes which thread marked each row "正在采集中", and what the status bar read when each row was done.
class ThreadNotingPort : public MemoryWindowPort {
  public:
    void SetCell(RowId row, int column, const Text& text) override {
        if (column == kColumnStatus) {
            std::lock_guard lock(lock_);
            if (text == kRowWorkingText) {
                workedBy_[row] = std::this_thread::get_id();
            } else if (!text.empty()) {
                statusWhenDone_.push_back(StatusText());
            }
        }
        MemoryWindowPort::SetCell(row, column, text);
    }
    std::size_t DistinctThreads() {
        std::lock_guard lock(lock_);
        std::set<std::thread::id> threads;
        for (const auto& [row, thread] : workedBy_) threads.insert(thread);
        return threads.size();
    }
    std::size_t RowsWorked() {
        std::lock_guard lock(lock_);
        return workedBy_.size();
    }
    std::vector<Text> StatusWhenDone() {
        std::lock_guard lock(lock_);
        return statusWhenDone_;
    }

  private:
    std::mutex lock_;
    std::map<RowId, std::thread::id> workedBy_;
    std::vector<Text> statusWhenDone_;
};

class DetailRowPoolRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitHttp(); }

    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        port_ = std::make_shared<ThreadNotingPort>();
        CollectorOptions options;
        options.searchHost = site_.HostPort();
        options.completionPause = 10ms;
        options.throttleRecheck = 20ms;
        options.restrictToFirstProcessor = false;
        collector_ = std::make_unique<Collector>(port_, state_, options);
        port_->SetKeywordText(Utf8ToLocal("美食\r\n旅游\r\n读书\r\n"));
        port_->SetPageCountText("2");
    }
    void TearDown() override { collector_.reset(); }

    std::size_t DetailRequests() const { return site_.RequestTargetsStartingWith("/detail/").size(); }

    demo::DemoSite site_;
    SharedState state_;
    std::shared_ptr<ThreadNotingPort> port_;
    std::unique_ptr<Collector> collector_;
};

TEST_F(DetailRowPoolRun, WorkersTakeRowAfterRowAndCompletionWaitsForTheLastRow) {
    port_->SetThreadCountText("3");
    site_.SetLatency(15ms);
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(collector_->WaitUntilIdle(60s));
    const std::size_t rows = port_->Rows().Count();
    ASSERT_GT(rows, 9u);
    EXPECT_EQ(port_->RowsWorked(), rows);
    EXPECT_EQ(DetailRequests(), rows);
    // Three workers did every row between them: no thread per row.
    EXPECT_LE(port_->DistinctThreads(), 3u);
    EXPECT_LE(site_.MaxInFlight(), 3);
    for (const Text& status : port_->StatusWhenDone())
        EXPECT_EQ(status, Text(kDetailPhaseText)) << "a row was done after the run said it was complete";
    EXPECT_EQ(port_->StatusText(), RunCompleteStatusText(rows));
    EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
    EXPECT_EQ(collector_->RunningWorkers(), 0u) << "the workers end with the run's rows";
}

TEST_F(DetailRowPoolRun, ALoweredCountLetsTheExtraWorkersEndAfterTheirRows) {
    port_->SetThreadCountText("6");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(6, 30s));
    EXPECT_EQ(collector_->RunningWorkers(), 6u);
    port_->SetThreadCountText("2");
    site_.ResetRecords();
    site_.ResumeResponses();
    // Once the six rows are done, four workers end and two carry on.
    ASSERT_TRUE(
        Eventually([&] { return collector_->RunningWorkers() <= 2 || !collector_->SearchRunning(); }));
    ASSERT_TRUE(collector_->WaitUntilIdle(60s));
    EXPECT_LE(site_.MaxInFlight(), 6);
    const std::vector<demo::RequestRecord> records = site_.Requests();
    ASSERT_GT(records.size(), 4u);
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_LE(records[i].inFlightAtArrival, 2) << i;
    EXPECT_EQ(port_->RowsWorked(), port_->Rows().Count());
    EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
}

TEST_F(DetailRowPoolRun, StopLetsTheRowsInFlightFinishAndStartsNoOther) {
    port_->SetThreadCountText("4");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(4, 30s));
    collector_->Stop();
    site_.ResumeResponses();
    ASSERT_TRUE(collector_->WaitUntilIdle(30s));
    EXPECT_EQ(DetailRequests(), 4u);
    EXPECT_EQ(port_->RowsWorked(), 4u);
    std::size_t done = 0;
    for (std::size_t i = 0; i < port_->Rows().Count(); ++i)
        done += port_->Rows().CellAt(i, kColumnStatus) == kRowDoneText;
    EXPECT_EQ(done, 4u) << "the started rows are finished";
    EXPECT_EQ(port_->StatusText(), RunStoppedStatusText(port_->Rows().Count()));
    EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
    EXPECT_EQ(collector_->RunningWorkers(), 0u);
}

TEST_F(DetailRowPoolRun, ShutdownEndsIdleAndBusyWorkersAtOnce) {
    port_->SetThreadCountText("5");
    site_.PauseResponses([](const std::string& target) { return target.starts_with("/detail/"); });
    ASSERT_EQ(collector_->Collect(), CollectOutcome::Started);
    ASSERT_TRUE(site_.WaitForInFlight(5, 30s));
    const auto start = std::chrono::steady_clock::now();
    collector_->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(collector_->RunningWorkers(), 0u);
    EXPECT_EQ(state_.ActiveWorkerCount.load(), 0);
    site_.ResumeResponses();
}

}  // namespace
}  // namespace tollenby
