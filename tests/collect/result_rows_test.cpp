#include "collect/result_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "collect/memory_window_port.h"

namespace tollenby {
namespace {

TEST(ResultRows, NumbersRowsFromOneAndRestartsAfterClearWithFreshIdentities) {
    ResultRows rows;
    RowId a = rows.Append("A", "http://a", "src");
    RowId b = rows.Append("B", "http://b", "src");
    EXPECT_NE(a, kNoRow);
    EXPECT_NE(a, b);
    EXPECT_EQ(rows.Cell(a, kColumnId), "1");
    EXPECT_EQ(rows.Cell(b, kColumnId), "2");
    EXPECT_EQ(rows.Cell(b, kColumnUrl), "http://b");
    EXPECT_EQ(rows.IdAt(1), b);
    EXPECT_EQ(rows.IdAt(2), kNoRow);

    rows.Clear();
    RowId c = rows.Append("C", "http://c", "src");
    EXPECT_EQ(rows.Cell(c, kColumnId), "1");
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(rows.IdAt(0), c);
    // The old identities name nothing, although a row stands at position 0 again.
    EXPECT_FALSE(rows.PositionOf(a));
    EXPECT_FALSE(rows.SetCell(a, kColumnStatus, "late"));
    EXPECT_EQ(rows.Cell(a, kColumnTitle), "");
    EXPECT_EQ(rows.Cell(c, kColumnStatus), "");
    EXPECT_FALSE(rows.SetCell(kNoRow, kColumnStatus, "x"));
    EXPECT_FALSE(rows.SetCell(c, kColumnCount, "x"));
    EXPECT_FALSE(rows.SetCell(c, -1, "x"));
}

TEST(ResultRows, ChangesTellNewRowsDirtyRangeAndClear) {
    ResultRows rows;
    std::vector<RowId> ids;
    for (int i = 0; i < 5; ++i) ids.push_back(rows.Append("t", "u", "s"));
    RowChanges first = rows.TakeChanges();
    EXPECT_EQ(first.rowCount, 5u);
    EXPECT_FALSE(first.anyDirty);  // writes before the first take are part of the new rows

    rows.SetCell(ids[3], kColumnTags, "x");
    rows.SetCell(ids[1], kColumnTags, "y");
    RowId late = rows.Append("t", "u", "s");
    rows.SetCell(late, kColumnTags, "z");  // a new row: told by the count, not the dirty range
    RowChanges second = rows.TakeChanges();
    EXPECT_EQ(second.generation, first.generation);
    EXPECT_EQ(second.rowCount, 6u);
    ASSERT_TRUE(second.anyDirty);
    EXPECT_EQ(second.dirtyFirst, 1u);
    EXPECT_EQ(second.dirtyLast, 3u);

    EXPECT_FALSE(rows.TakeChanges().anyDirty);

    rows.SetCell(ids[0], kColumnTags, "w");
    rows.Clear();
    RowChanges third = rows.TakeChanges();
    EXPECT_GT(third.generation, second.generation);
    EXPECT_EQ(third.rowCount, 0u);
    EXPECT_FALSE(third.anyDirty);
}

// Twenty workers fill their own rows while a late worker writes to rows that Clear removed.
TEST(MemoryWindowPort, ConcurrentWritesLandInTheirRowsAndNeverInNewOnes) {
    MemoryWindowPort port;
    constexpr int kThreads = 20;
    constexpr int kRowsPerThread = 50;
    constexpr int kColumnsWritten = 10;  // 20 * 50 * 10 = 10,000 cell writes

    std::vector<RowId> stale;
    for (int i = 0; i < 100; ++i) stale.push_back(port.AppendRow("old", "u", "s"));
    port.ClearRows();
    std::vector<RowId> ids;
    for (int i = 0; i < kThreads * kRowsPerThread; ++i) ids.push_back(port.AppendRow("new", "u", "s"));

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRowsPerThread; ++r) {
                RowId id = ids[t * kRowsPerThread + r];
                for (int c = 0; c < kColumnsWritten; ++c) {
                    port.SetCell(id, kColumnUrl + c, std::to_string(id) + ":" + std::to_string(c));
                }
            }
        });
    }
    threads.emplace_back([&] {
        for (RowId id : stale) port.SetCell(id, kColumnStatus, "stale");
    });
    for (auto& thread : threads) thread.join();

    ASSERT_EQ(port.RowCount(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ASSERT_EQ(port.RowAt(i), ids[i]);
        EXPECT_EQ(port.Cell(ids[i], kColumnId), std::to_string(i + 1));
        for (int c = 0; c < kColumnsWritten; ++c) {
            ASSERT_EQ(port.Cell(ids[i], kColumnUrl + c), std::to_string(ids[i]) + ":" + std::to_string(c));
        }
    }
    for (RowId id : stale) EXPECT_EQ(port.Cell(id, kColumnStatus), "");
}

TEST(MemoryWindowPort, RecordsWhatJobsShowAndHandsBackSettings) {
    MemoryWindowPort port;
    EXPECT_EQ(port.PageCountText(), "1");
    EXPECT_EQ(port.ThreadCountText(), "5");
    EXPECT_EQ(port.CheckedTimeFilter(), TimeFilter::AllTime);
    EXPECT_TRUE(port.CollectEnabled());

    port.SetKeywordText("a\r\nb\r\n");
    port.SetTimeFilter(TimeFilter::OneDay);
    EXPECT_EQ(port.KeywordText(), "a\r\nb\r\n");
    EXPECT_EQ(port.CheckedTimeFilter(), TimeFilter::OneDay);

    port.SetStatusText("one");
    port.SetStatusText("two");
    EXPECT_EQ(port.StatusText(), "two");
    EXPECT_EQ(port.StatusHistory(), (std::vector<Text>{"one", "two"}));

    port.SetCollectEnabled(false);
    EXPECT_FALSE(port.CollectEnabled());
    EXPECT_EQ(port.CollectEnabledChanges(), 1u);

    port.SetRegionItems({"north", "south"});
    EXPECT_EQ(port.SelectedRegion(), 0u);
    EXPECT_EQ(port.SelectedRegionText(), "north");
    port.SelectRegion(5);
    EXPECT_FALSE(port.SelectedRegion());
    EXPECT_EQ(port.SelectedRegionText(), "");
    port.SetRegionItems({});
    EXPECT_FALSE(port.SelectedRegion());
    port.SetRegionItems({"x"});
    port.ClearRegionBox();
    EXPECT_TRUE(port.RegionItems().empty());
    EXPECT_FALSE(port.SelectedRegion());
}

}  // namespace
}  // namespace tollenby
