// The window's port under writers on other threads: what they write takes effect at once, lands in the
// right rows, and stays safe after the window is gone.
#include "app/main_window_port.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/widget_lookup.h"

namespace tollenby {
namespace {

using testing::Control;
using testing::MainWindowTest;

TEST_F(MainWindowTest, WritesFromAnyThreadTakeEffectAtOnceAndReachTheWidgets) {
    WindowPort& port = window.Port();
    std::thread worker([&] {
        port.SetStatusText("\xD5\xFD\xD4\xDA");  // 正在
        port.SetCollectEnabled(false);
        port.SetRegionItems({"\xC9\xCF\xBA\xA3", "b"});  // 上海, b
        // Seen by any thread as soon as the call returns.
        EXPECT_EQ(window.WindowSidePort().StatusText(), "\xD5\xFD\xD4\xDA");
        EXPECT_FALSE(window.WindowSidePort().CollectEnabled());
        EXPECT_EQ(window.SelectedRegionText(), "\xC9\xCF\xBA\xA3");
    });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(Control<QStatusBar>(window, "状态条1")->currentMessage(), "正在");
    EXPECT_FALSE(Control(window, "按钮_采集")->isEnabled());
    auto* regions = Control<QComboBox>(window, "组合框2");
    ASSERT_EQ(regions->count(), 2);
    EXPECT_EQ(regions->currentText(), "上海");

    regions->setCurrentIndex(1);  // the user picks another region
    EXPECT_EQ(window.SelectedRegionText(), "b");
    port.ClearRegionBox();
    EXPECT_EQ(window.SelectedRegionText(), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(regions->count(), 0);
}

// Twenty workers write 10,000 cells while the GUI thread keeps polling and painting; a late worker
// writes to rows that Clear removed. Every write lands in its own row, the late ones nowhere.
TEST_F(MainWindowTest, ManyThreadsWriteCellsIntoTheRightRows) {
    std::shared_ptr<MainWindowPort> port = window.SharedPort();
    std::vector<RowId> stale;
    for (int i = 0; i < 200; ++i) stale.push_back(port->AppendRow("old", "u", "s"));
    window.ResultModel().Poll();
    Click("按钮_清空");

    constexpr int kThreads = 20;
    constexpr int kRows = 50;
    std::vector<RowId> ids;
    for (int i = 0; i < kThreads * kRows; ++i) ids.push_back(port->AppendRow("t", "u", "s"));
    window.show();

    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRows; ++r) {
                RowId id = ids[t * kRows + r];
                for (int c = kColumnUrl; c < kColumnCount; ++c) {
                    port->SetCell(id, c, std::to_string(id) + "/" + std::to_string(c));
                }
                (void)port->KeywordText();
            }
            ++done;
        });
    }
    threads.emplace_back([&] {
        for (RowId id : stale) port->SetCell(id, kColumnStatus, "stale");
        ++done;
    });
    // The GUI thread keeps polling and painting meanwhile; bounded, and the threads are joined either way.
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load() == kThreads + 1; }, 60000));
    for (auto& thread : threads) thread.join();
    window.ResultModel().Poll();

    QAbstractItemModel* model = Control<QTableView>(window, "超级列表框1")->model();
    ASSERT_EQ(model->rowCount(), kThreads * kRows);
    for (int i = 0; i < kThreads * kRows; ++i) {
        ASSERT_EQ(model->data(model->index(i, kColumnId)).toString().toInt(), i + 1);
        for (int c = kColumnUrl; c < kColumnCount; ++c) {
            ASSERT_EQ(model->data(model->index(i, c)).toString().toStdString(),
                      std::to_string(ids[i]) + "/" + std::to_string(c));
        }
    }
    for (RowId id : stale) EXPECT_EQ(port->Cell(id, kColumnStatus), "");
}

void HammerPort(std::shared_ptr<MainWindowPort> port, std::atomic<bool>* stop, int seed) {
    RowId row = kNoRow;
    for (int i = 0; i < 2'000'000 && !(stop && stop->load()); ++i) {
        if (i % 32 == 0) row = port->AppendRow("t", "u", std::to_string(seed));
        port->SetCell(row, kColumnStatus, std::to_string(i));
        port->SetStatusText(std::to_string(i));
        port->SetCollectEnabled(i % 2 == 0);
        if (i % 64 == 0) port->SetRegionItems({"a", std::to_string(i)});
        (void)port->KeywordText();
        if (i % 128 == 0) {
            std::lock_guard guard(AppGlobals().Shared.RegionListLock);
            AppGlobals().Shared.RegionList.push_back("r");
        }
        // Busy, but like a worker between fetches rather than a spinning loop on two cores.
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

TEST(MainWindowShutdown, WritersGoOnSafelyAfterTheWindowIsDestroyed) {
    auto window = std::make_unique<MainWindow>();
    window->show();
    std::shared_ptr<MainWindowPort> port = window->SharedPort();
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 20; ++t) writers.emplace_back(HammerPort, port, &stop, t);
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    window.reset();
    std::size_t rowsAtClose = port->RowCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCoreApplication::processEvents();  // anything still queued for the window is gone with it
    stop = true;
    for (auto& writer : writers) writer.join();
    EXPECT_GT(port->RowCount(), rowsAtClose);  // the writers kept going, unblocked
}

// The real ending: the modal window closes while writers still run through its port; they go on
// safely until their owner stops and joins them, and the process exits cleanly with the globals.
TEST(MainWindowShutdownDeathTest, ClosingTheWindowWithWritersRunningExitsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<bool> stop{false};
            std::vector<std::thread> writers;
            QTimer::singleShot(0, [&] {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    auto* window = qobject_cast<MainWindow*>(top);
                    if (window == nullptr) continue;
                    for (int t = 0; t < 20; ++t)
                        writers.emplace_back(HammerPort, window->SharedPort(), &stop, t);
                }
            });
            QTimer::singleShot(200, [] {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    if (qobject_cast<MainWindow*>(top)) top->close();
                }
            });
            int code = ShowMainWindowModal();
            stop = true;
            for (std::thread& writer : writers) writer.join();
            std::exit(writers.size() == 20 ? code : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tollenby
