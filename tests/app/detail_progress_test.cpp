// The status bar's progress bar follows the rows of the detail phase, from what the port shows.
#include "app/detail_progress.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/main_window_port.h"
#include "collect/collect_texts.h"
#include "collect/result_rows.h"

namespace tollenby {
namespace {

class DetailProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) rows.push_back(window.Port().AppendRow("t", "http://h/d.html", "s"));
        // A run in its detail phase, as the search job leaves the window.
        window.Port().SetCollectEnabled(false);
        window.Port().SetStatusText(Text(kDetailPhaseText));
    }

    void MarkRow(int row, std::string_view status) {
        window.Port().SetCell(rows[row], kColumnStatus, Text(status));
    }

    const QProgressBar& Bar() {
        window.Progress().Refresh();
        return window.Progress().Bar();
    }

    MainWindow window;
    std::vector<RowId> rows;
};

TEST_F(DetailProgressTest, SitsAtTheRightEndOfTheStatusBar) {
    const QProgressBar& bar = window.Progress().Bar();
    EXPECT_EQ(bar.parentWidget(), window.findChild<QStatusBar*>(QStringLiteral("状态条1")));
    EXPECT_FALSE(bar.isTextVisible());
    EXPECT_LE(bar.height(), 14);
}

TEST_F(DetailProgressTest, CountsFinishedRowsOfStartedRows) {
    EXPECT_FALSE(Bar().isHidden());
    EXPECT_EQ(Bar().value(), 0);  // nothing started yet: an empty bar, not a busy one
    EXPECT_EQ(Bar().maximum(), 1);

    for (int row : {0, 1, 2}) MarkRow(row, kRowWorkingText);
    EXPECT_EQ(Bar().maximum(), 3);
    EXPECT_EQ(Bar().value(), 0);

    MarkRow(1, kRowDoneText);
    MarkRow(3, kRowWorkingText);
    EXPECT_EQ(Bar().maximum(), 4);
    EXPECT_EQ(Bar().value(), 1);

    // Any final outcome counts as finished, not only success.
    MarkRow(0, kRowDoneText);
    MarkRow(2, "\xB2\xC9\xBC\xAF\xCA\xA7\xB0\xDC");  // "采集失败"
    EXPECT_EQ(Bar().value(), 3);
    EXPECT_EQ(Bar().maximum(), 4);
    // The status text itself stays as the search job wrote it.
    EXPECT_EQ(window.WindowSidePort().StatusText(), Text(kDetailPhaseText));
}

TEST_F(DetailProgressTest, HiddenOutsideTheDetailPhase) {
    MarkRow(0, kRowDoneText);
    ASSERT_FALSE(Bar().isHidden());

    // The run's end: the status bar shows the count.
    window.Port().SetStatusText("\xB2\xC9\xBC\xAF\xCD\xEA\xB3\xC9");
    EXPECT_TRUE(Bar().isHidden());

    // Stop: Collect comes back while the phase's text still stands.
    window.Port().SetStatusText(Text(kDetailPhaseText));
    ASSERT_FALSE(Bar().isHidden());
    window.Port().SetCollectEnabled(true);
    EXPECT_TRUE(Bar().isHidden());

    // The search phase.
    window.Port().SetCollectEnabled(false);
    window.Port().SetStatusText("searching");
    EXPECT_TRUE(Bar().isHidden());
}

TEST_F(DetailProgressTest, TheTimerRefreshesWithoutBeingAsked) {
    MarkRow(0, kRowWorkingText);
    MarkRow(1, kRowDoneText);
    QProgressBar* bar = window.findChild<QProgressBar*>(QStringLiteral("进度条_详细信息"));
    ASSERT_NE(bar, nullptr);
    // Bounded: a few refresh periods.
    for (int i = 0; i < 50 && bar->value() != 1; ++i) QTest::qWait(DetailProgress::kRefreshMilliseconds / 4);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(bar->maximum(), 2);
}

}  // namespace
}  // namespace tollenby
