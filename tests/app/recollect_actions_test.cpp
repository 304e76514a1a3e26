// Re-collecting rows from ResultList's context menu, through the real window against the demo site's
// misbehaving pages: a row that failed once reads its page the second time, and the region box follows.
#include "app/recollect_actions.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/collect_wiring.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "app/save_as_action.h"
#include "collect/collect_texts.h"
#include "collect/result_rows.h"
#include "collect/search_phase.h"
#include "demo/demo_site.h"
#include "demo/misbehaving_pages.h"
#include "text/encoding.h"
#include "ui/gbk_qstring.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using demo::Misbehaviour;

template <typename T>
T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromUtf8(name));
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The items the table's context menu shows, read from the open menu and closed again.
QStringList MenuItemsShown(QTableView& table) {
    QStringList shown;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        seen = true;
        for (QAction* action : menu->actions())
            if (action->isVisible()) shown.append(action->text());
        menu->close();
    });
    emit table.customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(seen) << "no menu opened";
    return shown;
}

class Recollect : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitHttp(); }

    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        CollectorOptions options;
        options.searchHost = site_.HostPort();
        options.completionPause = 50ms;
        options.restrictToFirstProcessor = false;
        // No second tries, so a page that fails once fails its row; short limits keep silent pages short.
        options.fetch.retry = RetryPolicy{.extraTries = 0, .waitScale = 0.1};
        FetchLimits limits = kDetailPageLimits;
        limits.connect = 1s;
        limits.stall = 1s;
        limits.total = 3s;
        limits.lowSpeedTime = 1s;
        options.fetch.detailLimits = limits;
        wiring_ = std::make_unique<CollectionWiring>(window_, state_, options);
        recollect_ = std::make_unique<RecollectActions>(window_, wiring_->Collection());
        saveAs_ = std::make_unique<SaveAsAction>(window_);
        window_.show();
        table_ = Control<QTableView>(window_, "超级列表框1");
        collect_ = Control<QPushButton>(window_, "按钮_采集");
        status_ = Control<QStatusBar>(window_, "状态条1");
        regions_ = Control<QComboBox>(window_, "组合框2");
        ASSERT_TRUE(table_ && collect_ && status_ && regions_);
        Control<QPlainTextEdit>(window_, "编辑框_关键词")->setPlainText(QString::fromUtf8("美食"));
    }
    void TearDown() override {
        saveAs_.reset();
        recollect_.reset();
        wiring_.reset();
    }

    std::string Cell(int row, int column) {
        return AnsiToUtf8(window_.WindowSidePort().Rows()->CellAt(static_cast<std::size_t>(row), column));
    }
    int RowOf(const std::string& url) {
        const int count = static_cast<int>(window_.WindowSidePort().Rows()->Count());
        for (int row = 0; row < count; ++row)
            if (Cell(row, kColumnUrl) == url) return row;
        return -1;
    }
    std::size_t FailedRows() {
        std::size_t failed = 0;
        const int count = static_cast<int>(window_.WindowSidePort().Rows()->Count());
        for (int row = 0; row < count; ++row) failed += Cell(row, kColumnStatus) == "采集失败";
        return failed;
    }
    // The regions of the complete rows, as the region box should list them.
    std::set<std::string> RegionsOfCompleteRows() {
        std::set<std::string> regions;
        const int count = static_cast<int>(window_.WindowSidePort().Rows()->Count());
        for (int row = 0; row < count; ++row)
            // A deleted entry's marker is no region.
            if (Cell(row, kColumnStatus) == "采集完成" && Cell(row, kColumnRegion) != "文章已经删除")
                regions.insert(Cell(row, kColumnRegion));
        return regions;
    }
    std::set<std::string> RegionBox() {
        std::set<std::string> items;
        for (int i = 0; i < regions_->count(); ++i) items.insert(regions_->itemText(i).toStdString());
        return items;
    }
    std::size_t Asked(const std::string& url) {
        const std::string path = url.substr(site_.BaseUrl().size());
        std::size_t asked = 0;
        for (const std::string& target : site_.RequestTargetsStartingWith(path)) asked += target == path;
        return asked;
    }
    // Waits for the end of the run: its completion text with the table's failed rows, then Collect.
    void WaitForCompletion() {
        ASSERT_TRUE(PumpUntil([&] {
            return status_->currentMessage().startsWith(QString::fromUtf8("采集完成")) &&
                   collect_->isEnabled();
        })) << status_->currentMessage().toStdString();
        ASSERT_TRUE(wiring_->Collection().WaitUntilIdle(30s));
        QCoreApplication::processEvents();
        const std::size_t rows = window_.WindowSidePort().Rows()->Count();
        EXPECT_EQ(status_->currentMessage(), GbkToQString(RunCompleteStatusText(rows, FailedRows())));
    }
    void Select(int row) {
        table_->selectionModel()->select(table_->model()->index(row, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    demo::DemoSite site_;
    SharedState state_;
    MainWindow window_{std::make_shared<MainWindowPort>()};
    std::unique_ptr<CollectionWiring> wiring_;
    std::unique_ptr<RecollectActions> recollect_;
    std::unique_ptr<SaveAsAction> saveAs_;
    QTableView* table_ = nullptr;
    QPushButton* collect_ = nullptr;
    QStatusBar* status_ = nullptr;
    QComboBox* regions_ = nullptr;
};

TEST_F(Recollect, FailedRowsReadTheirPagesTheSecondTimeAndTheRegionBoxFollows) {
    site_.SetMisbehaving(true);
    QTest::mouseClick(collect_, Qt::LeftButton);
    WaitForCompletion();

    std::string once503;
    std::string once429;
    demo::DemoEntry entry503;
    demo::DemoEntry entry429;
    for (const demo::MisbehavingEntry& hit : demo::MisbehavingEntries(site_.BaseUrl())) {
        if (hit.behaviour == Misbehaviour::Busy503Once) entry503 = hit.entry;
        if (hit.behaviour == Misbehaviour::TooMany429Once) entry429 = hit.entry;
    }
    const int row503 = RowOf(entry503.url);
    const int row429 = RowOf(entry429.url);
    ASSERT_GE(row503, 0);
    ASSERT_GE(row429, 0);
    ASSERT_EQ(Cell(row503, kColumnStatus), "采集失败");
    ASSERT_EQ(Cell(row429, kColumnStatus), "采集失败");
    const std::size_t failedAtFirst = FailedRows();
    EXPECT_EQ(RegionBox(), RegionsOfCompleteRows());

    // The selected row alone goes again; the other failed row is not asked for.
    Select(row503);
    recollect_->SelectedAction().trigger();
    WaitForCompletion();
    EXPECT_EQ(Cell(row503, kColumnStatus), "采集完成");
    EXPECT_EQ(Cell(row503, kColumnDescription), entry503.description);
    EXPECT_EQ(Cell(row503, kColumnRegion), entry503.region);
    EXPECT_EQ(Cell(row503, kColumnAccountId), entry503.accountId);
    EXPECT_EQ(Cell(row429, kColumnStatus), "采集失败");
    EXPECT_EQ(Asked(entry429.url), 1u);
    EXPECT_EQ(FailedRows(), failedAtFirst - 1);
    EXPECT_TRUE(RegionBox().contains(entry503.region));
    EXPECT_EQ(RegionBox(), RegionsOfCompleteRows());
    EXPECT_EQ(regions_->currentIndex(), 0);

    // Every failed row goes again: the 429 row reads its page now, the pages that always fail fail.
    recollect_->FailedAction().trigger();
    WaitForCompletion();
    EXPECT_EQ(Cell(row429, kColumnStatus), "采集完成");
    EXPECT_EQ(Cell(row429, kColumnTags), entry429.tags);
    EXPECT_EQ(Asked(entry503.url), 2u);
    EXPECT_EQ(Asked(entry429.url), 2u);
    EXPECT_EQ(FailedRows(), failedAtFirst - 2);
    EXPECT_GT(FailedRows(), 0u);
    EXPECT_EQ(RegionBox(), RegionsOfCompleteRows());
    EXPECT_EQ(window_.WindowSidePort().Rows()->Count(), demo::MisbehavingEntries(site_.BaseUrl()).size());
}

TEST_F(Recollect, TheItemsAreHiddenWhileARunGoesOn) {
    const QStringList always{QString::fromUtf8("复制"), QString::fromUtf8("打开详情页"),
                             QString::fromUtf8("导出为…")};
    const QStringList idle{QString::fromUtf8("复制"), QString::fromUtf8("打开详情页"),
                           QString::fromUtf8("重新采集选中行"), QString::fromUtf8("重新采集失败的行"),
                           QString::fromUtf8("导出为…")};
    EXPECT_EQ(MenuItemsShown(*table_), idle);
    EXPECT_FALSE(recollect_->SelectedAction().isEnabled());  // nothing selected
    EXPECT_FALSE(recollect_->FailedAction().isEnabled());    // no failed row

    // Held in its search phase, then in its detail phase.
    site_.PauseResponses();
    QTest::mouseClick(collect_, Qt::LeftButton);
    ASSERT_TRUE(site_.WaitForInFlight(1, 20s));
    EXPECT_EQ(MenuItemsShown(*table_), always);
    site_.ResumeResponses();
    site_.PauseResponses([](const std::string& target) { return target.find("/cse/") == std::string::npos; });
    const QString detailPhase = GbkToQString(Text(kDetailPhaseText));
    ASSERT_TRUE(PumpUntil([&] { return status_->currentMessage() == detailPhase && site_.InFlight() > 0; }));
    EXPECT_EQ(MenuItemsShown(*table_), always);
    // Triggered anyway (a shortcut, a queued click), the item starts nothing.
    Select(0);
    recollect_->SelectedAction().trigger();
    EXPECT_TRUE(wiring_->Collection().Busy());

    site_.ResumeResponses();
    WaitForCompletion();
    EXPECT_EQ(MenuItemsShown(*table_), idle);
    Select(0);
    QCoreApplication::processEvents();
    MenuItemsShown(*table_);
    EXPECT_TRUE(recollect_->SelectedAction().isEnabled());
}

}  // namespace
}  // namespace tollenby
