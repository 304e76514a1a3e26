// The table's "导出为…": the file named in the save dialog, in the format of its suffix, written off the GUI
// thread and read back by readers that share no code with our writers; failures told with their reason.
#include "app/save_as_action.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "tests/export/table_readback.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

TEST(SaveAsTargetFor, TheSuffixTypedWinsElseTheFilterChosenAddsOne) {
    struct Case {
        const char* name;
        const char* selectedFilter;
        const char* path;
        ExportFormat format;
    };
    const Case cases[] = {
        {"/t/a.csv", "Excel 工作簿 (*.xlsx)", "/t/a.csv", ExportFormat::Csv},
        {"/t/a.JSONL", "Excel 工作簿 (*.xlsx)", "/t/a.JSONL", ExportFormat::JsonLines},
        {"/t/a.xls", "CSV 文件 (*.csv)", "/t/a.xls", ExportFormat::Xls},
        {"/t/a", "CSV 文件 (*.csv)", "/t/a.csv", ExportFormat::Csv},
        {"/t/a.txt", "JSON Lines 文件 (*.jsonl)", "/t/a.txt.jsonl", ExportFormat::JsonLines},
        {"/t/a", "", "/t/a.xlsx", ExportFormat::Xlsx},
    };
    for (const Case& c : cases) {
        SaveAsTarget target = SaveAsTargetFor(QString::fromUtf8(c.name), QString::fromUtf8(c.selectedFilter));
        EXPECT_EQ(target.path, QString::fromUtf8(c.path)) << c.name;
        EXPECT_EQ(target.format, c.format) << c.name;
    }
    // Every filter offered names one of the formats.
    for (const QString& filter : SaveAsNameFilter().split(QStringLiteral(";;")))
        EXPECT_NE(SaveAsTargetFor(QStringLiteral("/t/a"), filter).path, QStringLiteral("/t/a"))
            << filter.toStdString();
}

class SaveAs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        Dialogs::clearNextAnswers();
        window_.findChild<QLineEdit*>(QStringLiteral("编辑框_路径"))->setText(folder_.path());
        MainWindowPort& port = window_.WindowSidePort();
        RowId row = port.AppendRow(Utf8ToLocal("美食群"), "http://127.0.0.1/p/1.html", Utf8ToLocal("来源甲"));
        port.SetCell(row, kColumnRegion, Utf8ToLocal("广州"));
        port.SetCell(row, kColumnStatus, Utf8ToLocal("采集完成"));
        port.AppendRow(Utf8ToLocal("旅游, \"二\""), "http://127.0.0.1/p/2.html", Text());
    }

    // Answers the save dialog with `name`, triggers the item and waits for the message it ends with.
    QString SaveAsNamed(const QString& name) {
        Dialogs::setNextFileName(name);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        const int before = Dialogs::messageCount();
        saveAs_.Action().trigger();
        EXPECT_TRUE(saveAs_.Running());
        EXPECT_FALSE(saveAs_.Action().isEnabled());
        EXPECT_TRUE(PumpUntil([&] { return Dialogs::messageCount() > before; }));
        EXPECT_TRUE(saveAs_.Action().isEnabled());
        return Dialogs::lastMessage();
    }

    QTemporaryDir folder_;
    MainWindow window_{std::make_shared<MainWindowPort>()};
    SaveAsAction saveAs_{window_};
};

TEST_F(SaveAs, EachFormatHoldsTheTitleRowAndEveryRow) {
    for (const char* format : {"xlsx", "csv", "jsonl"}) {
        const QString path = folder_.filePath(QStringLiteral("表.") + QString::fromUtf8(format));
        EXPECT_EQ(SaveAsNamed(path), QStringLiteral("导出完成")) << format;
        EXPECT_EQ(Dialogs::lastFileRequest().startDirectory, folder_.path());
        EXPECT_EQ(Dialogs::lastFileRequest().nameFilter, SaveAsNameFilter());

        testing::ReadTable table = testing::ReadTableBack(format, QFile::encodeName(path).toStdString());
        ASSERT_TRUE(table.ran) << format << table.output;
        // .xlsx and .csv begin with the title row; .jsonl keys every row by the titles instead.
        const bool keyed = std::string(format) == "jsonl";
        const std::size_t first = keyed ? 0 : 1;
        if (keyed) {
            EXPECT_EQ(table.keys.size(), 2u) << table.output;
        }
        ASSERT_EQ(table.sheets.size(), 1u) << format;
        const auto& rows = table.sheets.front().rows;
        ASSERT_EQ(rows.size(), first + 2) << format;
        ASSERT_EQ(rows[first].size(), static_cast<std::size_t>(kColumnCount)) << format;
        EXPECT_EQ(rows[first][kColumnTitle].text, "美食群") << format;
        EXPECT_EQ(rows[first][kColumnRegion].text, "广州") << format;
        EXPECT_EQ(rows[first][kColumnStatus].text, "采集完成") << format;
        EXPECT_EQ(rows[first + 1][kColumnTitle].text, "旅游, \"二\"") << format;
        EXPECT_EQ(rows[first + 1][kColumnUrl].text, "http://127.0.0.1/p/2.html") << format;
    }
}

TEST_F(SaveAs, AFileThatCannotBeWrittenIsReportedWithTheReason) {
    const QString missing = folder_.filePath(QStringLiteral("没有的文件夹"));
    EXPECT_EQ(SaveAsNamed(missing + QStringLiteral("/表.csv")),
              QStringLiteral("导出失败：无法在文件夹 ") + missing + QStringLiteral(" 中创建文件：") +
                  QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_FALSE(QDir(missing).exists());

    // A folder of the name the file should take: the reason is the system's.
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("表.jsonl")));
    const QString taken = SaveAsNamed(folder_.filePath(QStringLiteral("表.jsonl")));
    EXPECT_TRUE(taken.startsWith(QStringLiteral("导出失败："))) << taken.toStdString();
    EXPECT_GT(taken.size(), QStringLiteral("导出失败：").size() + 3);
}

TEST_F(SaveAs, CancelWritesNothingAndSaysNothing) {
    const int before = Dialogs::messageCount();
    Dialogs::setNextFileName(QString());
    saveAs_.Action().trigger();
    EXPECT_FALSE(saveAs_.Running());
    EXPECT_EQ(Dialogs::messageCount(), before);
    EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
}  // namespace tollenby
