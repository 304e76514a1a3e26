// The result table shows a row whose page could not be read in red, so it stands out in a long list.
#include <gtest/gtest.h>

#include <QBrush>
#include <QColor>
#include <memory>

#include "app/result_table_model.h"
#include "collect/collect_texts.h"
#include "collect/result_rows.h"

namespace tollenby {
namespace {

TEST(ResultTableModel, OnlyAFailedRowsStatusIsRed) {
    auto rows = std::make_shared<ResultRows>();
    const RowId done = rows->Append("a", "u1", "s");
    const RowId failed = rows->Append("b", "u2", "s");
    rows->Append("c", "u3", "s");  // not started
    rows->SetCell(done, kColumnStatus, Text(kRowDoneText));
    rows->SetCell(failed, kColumnStatus, Text(kRowFailedText));
    ResultTableModel model(rows);

    auto colour = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::ForegroundRole);
    };
    ASSERT_TRUE(colour(1, kColumnStatus).canConvert<QBrush>());
    EXPECT_EQ(colour(1, kColumnStatus).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(model.data(model.index(1, kColumnStatus)).toString(), QStringLiteral("采集失败"));
    EXPECT_FALSE(colour(0, kColumnStatus).isValid());
    EXPECT_FALSE(colour(2, kColumnStatus).isValid());
    EXPECT_FALSE(colour(1, kColumnTitle).isValid());
}

}  // namespace
}  // namespace tollenby
