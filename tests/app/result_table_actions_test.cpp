// ResultList's copy and open actions, driven through the window as a user would.
#include "app/result_table_actions.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <vector>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "app/rows_tsv.h"
#include "ui/gbk_qstring.h"

namespace tollenby {
namespace {

struct TsvCase {
    const char* name;
    std::vector<QStringList> rows;
    QString expected;
};

TEST(RowsAsTsv, CellsKeepTheirRowsWhenPasted) {
    const TsvCase cases[] = {
        {"plain", {{"1", "甲", ""}, {"2", "乙", "x"}}, "1\t甲\t\n2\t乙\tx\n"},
        {"tab inside", {{"a\tb", "c"}}, "\"a\tb\"\tc\n"},
        {"line breaks inside", {{"one\ntwo", "three\r\nfour"}}, "\"one\ntwo\"\t\"three\r\nfour\"\n"},
        {"leading quote", {{"\"quoted\" text", "say \"hi\""}}, "\"\"\"quoted\"\" text\"\tsay \"hi\"\n"},
        {"nothing", {}, ""},
    };
    for (const TsvCase& c : cases) EXPECT_EQ(RowsAsTsv(c.rows), c.expected) << c.name;
}

TEST(DetailPageAddress, OpensOnlyWebAddresses) {
    EXPECT_EQ(DetailPageAddress("http://127.0.0.1:8737/detail/3.html"),
              QUrl("http://127.0.0.1:8737/detail/3.html"));
    EXPECT_EQ(DetailPageAddress(" https://example.org/a "), QUrl("https://example.org/a"));
    for (const char* text :
         {"", "detail/3.html", "file:///etc/passwd", "javascript:alert(1)", "http://", "ftp://example.org/x"})
        EXPECT_TRUE(DetailPageAddress(QString::fromUtf8(text)).isEmpty()) << text;
}

// A window with three rows whose every cell is told apart by row and column.
class ResultTableActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Dialogs::clearNextAnswers();
        const char* urls[] = {"http://127.0.0.1:8737/detail/1.html", "javascript:alert(1)",
                              "http://127.0.0.1:8737/detail/3.html"};
        for (int row = 0; row < 3; ++row) {
            RowId id = window.Port().AppendRow(QStringToGbk(QStringLiteral("群%1").arg(row + 1)), urls[row],
                                               QStringToGbk(QStringLiteral("来自%1").arg(row + 1)));
            for (int column = kColumnDescription; column < kColumnCount; ++column)
                window.Port().SetCell(id, column,
                                      QStringToGbk(QStringLiteral("r%1c%2").arg(row + 1).arg(column)));
        }
        window.ResultModel().Poll();
        window.TableActions().SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return openerSucceeds;
        });
        table = window.findChild<QTableView*>(QStringLiteral("超级列表框1"));
        ASSERT_NE(table, nullptr);
    }

    void Select(std::initializer_list<int> rows) {
        QItemSelection selection;
        for (int row : rows)
            selection.select(table->model()->index(row, 0), table->model()->index(row, kColumnCount - 1));
        table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }

    QString Row(int n, const char* url) {
        QString line = QStringLiteral("%1\t群%1\t%2\t来自%1").arg(n).arg(QString::fromUtf8(url));
        for (int column = kColumnDescription; column < kColumnCount; ++column)
            line += QStringLiteral("\tr%1c%2").arg(n).arg(column);
        return line + QLatin1Char('\n');
    }

    MainWindow window;
    QTableView* table = nullptr;
    std::vector<QUrl> opened;
    bool openerSucceeds = true;
};

TEST_F(ResultTableActionsTest, CopiesTheSelectedRowsWithAllTwelveColumns) {
    Select({2, 0});
    const QString expected =
        Row(1, "http://127.0.0.1:8737/detail/1.html") + Row(3, "http://127.0.0.1:8737/detail/3.html");

    QApplication::clipboard()->setText(QStringLiteral("before"));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);

    QApplication::clipboard()->setText(QStringLiteral("before"));
    window.TableActions().CopyAction().trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

TEST_F(ResultTableActionsTest, CopyWithNothingSelectedLeavesTheClipboardAlone) {
    table->selectionModel()->clearSelection();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST_F(ResultTableActionsTest, TheMenuOffersCopyThenOpen) {
    EXPECT_EQ(table->contextMenuPolicy(), Qt::CustomContextMenu);
    QStringList texts;
    for (QAction* action : table->actions()) texts.append(action->text());
    EXPECT_EQ(texts, QStringList({"复制", "打开详情页"}));
}

TEST_F(ResultTableActionsTest, DoubleClickAndTheMenuOpenTheRowsDetailPage) {
    const int messagesBefore = Dialogs::messageCount();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect third = table->visualRect(table->model()->index(2, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("http://127.0.0.1:8737/detail/3.html"));

    table->setCurrentIndex(table->model()->index(0, 1));
    window.TableActions().OpenAction().trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], QUrl("http://127.0.0.1:8737/detail/1.html"));
    EXPECT_EQ(Dialogs::messageCount(), messagesBefore);
}

TEST_F(ResultTableActionsTest, ARowThatCannotBeOpenedSaysSo) {
    // No web address: nothing is started.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    window.TableActions().OpenDetailPage(1);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(Dialogs::lastMessage(), QStringLiteral("无法打开详情页：这一行没有网页地址"));

    // A browser that does not start.
    openerSucceeds = false;
    Dialogs::setNextAnswer(QMessageBox::Ok);
    window.TableActions().OpenDetailPage(0);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(Dialogs::lastMessage().startsWith(QStringLiteral("无法打开详情页：")));
    EXPECT_TRUE(Dialogs::lastMessage().contains(QStringLiteral("http://127.0.0.1:8737/detail/1.html")));
}

}  // namespace
}  // namespace tollenby
