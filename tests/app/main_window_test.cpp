// The main window's controls: their kinds, places and captions, the first state, and what the buttons,
// radio groups, drops and dialogs do to them.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/main_window_port.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/widget_lookup.h"

namespace tollenby {
namespace {

using testing::Control;
using testing::MainWindowTest;

// What a control shows: a group box its title, a button or label its text, an edit box its text,
// a combo box its items joined by "|".
QString Caption(QWidget* widget) {
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) return edit->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
        return items.join(QLatin1Char('|'));
    }
    return {};
}

struct ControlRow {
    const char* name;
    const char* kind;
    const char* parent;
    QRect geometry;
    const char* caption;  // nullptr: not checked here (the path box, the picture)
};

const ControlRow kControls[] = {
    {"分组框1", "QGroupBox", "MainWindow", {4, 5, 164, 121}, "关键词(将TXT文档拖拽进来)"},
    {"编辑框_关键词", "QPlainTextEdit", "分组框1", {7, 13, 149, 101}, ""},
    {"分组框2", "QGroupBox", "MainWindow", {167, 5, 201, 121}, "采集配置"},
    {"透明标签1", "QLabel", "分组框2", {8, 14, 64, 32}, "采集页数："},
    {"编辑框_采集页数", "QLineEdit", "分组框2", {64, 20, 30, 19}, "1"},
    {"透明标签2", "QLabel", "分组框2", {101, 14, 56, 32}, "线程总数："},
    {"组合框1", "QComboBox", "分组框2", {156, 21, 40, 20}, "5|10|20"},
    {"按钮_采集", "QPushButton", "分组框2", {23, 50, 72, 24}, "采集"},
    {"按钮_停止", "QPushButton", "分组框2", {121, 50, 72, 24}, "停止"},
    {"按钮_导入", "QPushButton", "分组框2", {23, 86, 72, 24}, "导入关键词"},
    {"按钮_清空", "QPushButton", "分组框2", {121, 86, 72, 24}, "清空"},
    {"分组框4", "QGroupBox", "MainWindow", {373, 5, 99, 121}, "二维码发布时间"},
    {"单选框_一天内", "QRadioButton", "分组框4", {7, 16, 80, 24}, "1天内"},
    {"单选框_一周内", "QRadioButton", "分组框4", {7, 39, 80, 24}, "1周内"},
    {"单选框_一个月内", "QRadioButton", "分组框4", {6, 65, 80, 24}, "1个月内"},
    {"单选框_全部时间", "QRadioButton", "分组框4", {6, 91, 80, 24}, "全部时间"},
    {"分组框3", "QGroupBox", "MainWindow", {475, 5, 245, 121}, "导出选项(XLS/GIF)"},
    {"单选框1", "QRadioButton", "分组框3", {14, 19, 80, 16}, "全部"},
    {"单选框2", "QRadioButton", "分组框3", {110, 14, 88, 20}, "全部二维码"},
    {"单选框_个人微信", "QRadioButton", "分组框3", {15, 37, 94, 20}, "个人二维码"},
    {"单选框_微信群", "QRadioButton", "分组框3", {109, 38, 94, 20}, "微信群二维码"},
    {"单选框_地区", "QRadioButton", "分组框3", {15, 56, 80, 24}, "按地区"},
    {"组合框2", "QComboBox", "分组框3", {78, 59, 72, 20}, ""},
    {"编辑框_路径", "QLineEdit", "分组框3", {14, 84, 103, 21}, nullptr},
    {"按钮_保存路径", "QPushButton", "分组框3", {120, 87, 62, 28}, "保存路径"},
    {"按钮_导出", "QPushButton", "分组框3", {186, 87, 48, 28}, "导出"},
    {"超级列表框1", "QTableView", "MainWindow", {0, 130, 968, 441}, nullptr},
    {"状态条1", "QStatusBar", "MainWindow", {0, 568, 968, 20}, nullptr},
    {"图片框1", "QLabel", "MainWindow", {728, 16, 120, 109}, nullptr},
    {"标签1", "QLabel", "MainWindow", {856, 24, 104, 96}, nullptr},
};

TEST_F(MainWindowTest, EveryControlHasItsKindPlaceAndCaption) {
    EXPECT_EQ(window.windowTitle(), "Tollenby");
    EXPECT_EQ(window.size(), QSize(968, 588));
    EXPECT_FALSE(window.windowIcon().isNull());
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* widget = Control(window, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(row.kind)) << widget->metaObject()->className();
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf8(row.parent));
        EXPECT_EQ(widget->geometry(), row.geometry);
        if (row.caption) {
            EXPECT_EQ(Caption(widget), QString::fromUtf8(row.caption));
        }
    }
}

TEST_F(MainWindowTest, InitialStateAsTheWindowIsCreated) {
    EXPECT_EQ(Control<QStatusBar>(window, "状态条1")->currentMessage(), "准备就绪");
    EXPECT_EQ(Control<QLineEdit>(window, "编辑框_路径")->text(),
              QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    EXPECT_FALSE(Control<QLineEdit>(window, "编辑框_路径")->text().endsWith(QDir::separator()));

    auto* pages = Control<QLineEdit>(window, "编辑框_采集页数");
    EXPECT_EQ(pages->alignment(), Qt::AlignCenter);
    EXPECT_EQ(pages->maxLength(), 3);
    EXPECT_EQ(Control<QComboBox>(window, "组合框1")->currentText(), "5");
    EXPECT_EQ(Control<QComboBox>(window, "组合框2")->currentIndex(), -1);
    EXPECT_TRUE(Control<QPlainTextEdit>(window, "编辑框_关键词")->toPlainText().isEmpty());
    EXPECT_EQ(Control<QPlainTextEdit>(window, "编辑框_关键词")->verticalScrollBarPolicy(),
              Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(Control(window, "按钮_采集")->isEnabled());
    EXPECT_TRUE(Control(window, "按钮_停止")->isEnabled());

    const char* checked[] = {"单选框_全部时间", "单选框1"};
    const char* unchecked[] = {"单选框_一天内",   "单选框_一周内", "单选框_一个月内", "单选框2",
                               "单选框_个人微信", "单选框_微信群", "单选框_地区"};
    for (const char* name : checked) EXPECT_TRUE(Control<QRadioButton>(window, name)->isChecked()) << name;
    for (const char* name : unchecked) EXPECT_FALSE(Control<QRadioButton>(window, name)->isChecked()) << name;

    auto* list = Control<QTableView>(window, "超级列表框1");
    QAbstractItemModel* model = list->model();
    ASSERT_EQ(model->columnCount(), 12);
    EXPECT_EQ(model->rowCount(), 0);
    const char* titles[] = {"ID",   "群/公众号名称", "URL",  "来自",   "简介",       "行业",
                            "时间", "地区",          "标签", "微信号", "二维码图片", "工作状态"};
    const int widths[] = {50, 100, 0, 100, 100, 80, 80, 80, 80, 100, 100, 70};
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(titles[c]));
        EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
        EXPECT_FALSE(list->isColumnHidden(c)) << c;  // the URL column can be widened by the user
    }

    EXPECT_FALSE(Control<QLabel>(window, "图片框1")->pixmap().isNull());
    EXPECT_EQ(Control<QLabel>(window, "标签1")->text().count(QLatin1Char('\n')), 1);

    // The port starts out with what the controls show.
    WindowPort& port = window.Port();
    EXPECT_EQ(port.PageCountText(), "1");
    EXPECT_EQ(port.ThreadCountText(), "5");
    EXPECT_EQ(port.CheckedTimeFilter(), TimeFilter::AllTime);
    EXPECT_EQ(port.KeywordText(), "");
    EXPECT_EQ(window.WindowSidePort().CheckedExportOption(), ExportOption::Spreadsheet);
}

TEST_F(MainWindowTest, RadioGroupsKeepOneCheckedAndThePortFollowsTheControls) {
    Click("单选框_一天内");
    EXPECT_FALSE(Control<QRadioButton>(window, "单选框_全部时间")->isChecked());
    EXPECT_EQ(window.Port().CheckedTimeFilter(), TimeFilter::OneDay);
    Click("单选框_一个月内");
    EXPECT_FALSE(Control<QRadioButton>(window, "单选框_一天内")->isChecked());
    EXPECT_EQ(window.Port().CheckedTimeFilter(), TimeFilter::OneMonth);
    Click("单选框_一个月内");  // clicking the checked one leaves it checked
    EXPECT_TRUE(Control<QRadioButton>(window, "单选框_一个月内")->isChecked());

    Click("单选框_地区");
    EXPECT_FALSE(Control<QRadioButton>(window, "单选框1")->isChecked());
    EXPECT_EQ(window.CheckedExportOption(), ExportOption::ByRegion);
    EXPECT_EQ(window.WindowSidePort().CheckedExportOption(), ExportOption::ByRegion);

    Control<QComboBox>(window, "组合框1")->setCurrentIndex(2);
    Control<QLineEdit>(window, "编辑框_采集页数")->setText("12");
    SetKeywords(QStringLiteral("美食\n旅行"));
    EXPECT_EQ(window.Port().ThreadCountText(), "20");
    EXPECT_EQ(window.Port().PageCountText(), "12");
    EXPECT_EQ(window.Port().KeywordText(), "\xC3\xC0\xCA\xB3\r\n\xC2\xC3\xD0\xD0");
}

TEST_F(MainWindowTest, DroppedFilesFillTheKeywordBoxAndUnreadableOnesLeaveIt) {
    QString gbk = WriteFile("gbk.txt", "\xC3\xC0\xCA\xB3\r\n\xC2\xC3\xD0\xD0\r\n");
    QString utf8 =
        WriteFile("utf8.txt", "\xE4\xB8\xAD\xE6\x96\x87\n\xE4\xB8\x8A\xE6\xB5\xB7");  // no final LF
    QString utf16 = WriteFile("utf16.txt", QByteArray("\xFF\xFE\x0A\x4E\x77\x6D\r\0\n\0", 10));
    QString folder = dir.filePath("folder");
    ASSERT_TRUE(QDir().mkdir(folder));
    auto* box = Control<QPlainTextEdit>(window, "编辑框_关键词");

    Drop(&window, {gbk});
    EXPECT_EQ(Keywords(), "美食\n旅行\n");
    EXPECT_EQ(window.Port().KeywordText(), "\xC3\xC0\xCA\xB3\r\n\xC2\xC3\xD0\xD0\r\n");

    // Over the keyword box itself, which would otherwise take the drop as text.
    Drop(box->viewport(), {utf16});
    EXPECT_EQ(Keywords(), "上海\n");

    // Two files at once: one after the other, in drop order, each on its own lines.
    Drop(Control(window, "超级列表框1"), {utf8, gbk});
    EXPECT_EQ(Keywords(), "中文\n上海\n美食\n旅行\n");
    Drop(&window, {gbk, utf8});
    EXPECT_EQ(Keywords(), "美食\n旅行\n中文\n上海");

    SetKeywords("typed by hand");
    Drop(&window, {dir.filePath("missing.txt")});
    EXPECT_EQ(Keywords(), "typed by hand");
    Drop(&window, {folder});
    EXPECT_EQ(Keywords(), "typed by hand");
    Drop(&window, {folder, utf16});  // the readable ones still count
    EXPECT_EQ(Keywords(), "上海\n");
}

TEST_F(MainWindowTest, ImportKeywordsThroughTheFileDialog) {
    QString utf8 = WriteFile("keys.txt", "\xE7\xBE\x8E\xE9\xA3\x9F\r\n");
    SetKeywords("old");

    Dialogs::setNextFileName(QString());  // Cancel
    Click("按钮_导入");
    EXPECT_EQ(Keywords(), "old");
    EXPECT_EQ(Dialogs::lastFileRequest().nameFilter, "文本文档 (*.txt)");
    EXPECT_EQ(Dialogs::lastFileRequest().defaultSuffix, "txt");

    Dialogs::setNextFileName(dir.filePath("gone.txt"));
    Click("按钮_导入");
    EXPECT_EQ(Keywords(), "old");

    Dialogs::setNextFileName(utf8);
    Click("按钮_导入");
    EXPECT_EQ(Keywords(), "美食\n");
}

TEST_F(MainWindowTest, ClearRemovesEveryRowAndNothingElse) {
    WindowPort& port = window.Port();
    SetKeywords("k");
    port.SetStatusText("status");
    port.SetRegionItems({"north"});
    RowId first = port.AppendRow("a", "u", "s");
    port.AppendRow("b", "u", "s");
    QCoreApplication::processEvents();
    window.ResultModel().Poll();
    QAbstractItemModel* model = Control<QTableView>(window, "超级列表框1")->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), "2");

    Click("按钮_清空");
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(port.RowCount(), 0u);
    port.SetCell(first, kColumnStatus, "late");  // the old row is gone for good
    RowId fresh = port.AppendRow("c", "u", "s");
    EXPECT_EQ(port.Cell(fresh, kColumnId), "1");
    EXPECT_EQ(port.Cell(fresh, kColumnStatus), "");
    EXPECT_EQ(Keywords(), "k");
    EXPECT_EQ(Control<QStatusBar>(window, "状态条1")->currentMessage(), "status");
    EXPECT_EQ(Control<QComboBox>(window, "组合框2")->count(), 1);
}

TEST_F(MainWindowTest, SavePathWritesTheChosenFolderAndCancelEmptiesIt) {
    auto* path = Control<QLineEdit>(window, "编辑框_路径");
    Dialogs::setNextDirectory(QStringLiteral("\u3000 /data/my folder/导出 \u3000"));
    Click("按钮_保存路径");
    EXPECT_EQ(path->text(), "/data/my folder/导出");
    EXPECT_EQ(window.WindowSidePort().PathText(), "/data/my folder/导出");
    Dialogs::DirectoryRequest asked = Dialogs::lastDirectoryRequest();
    EXPECT_EQ(asked.title, "保存路径");
    EXPECT_TRUE(asked.startDirectory.isEmpty());
    EXPECT_TRUE(asked.options.testFlag(QFileDialog::ShowDirsOnly));
    EXPECT_TRUE(AppGlobals().FolderStartPath.isEmpty());

    Dialogs::setNextDirectory(QString());
    Click("按钮_保存路径");
    EXPECT_EQ(path->text(), "");
}

}  // namespace
}  // namespace tollenby
