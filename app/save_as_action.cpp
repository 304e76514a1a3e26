#include "app/save_as_action.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTableView>
#include <array>
#include <optional>
#include <utility>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "collect/result_rows.h"

namespace tollenby {

namespace {

struct OfferedFormat {
    ExportFormat format;
    const char* filter;
};
// In the order the dialog offers them.
constexpr std::array kOffered{
    OfferedFormat{ExportFormat::Xlsx, "Excel 工作簿 (*.xlsx)"},
    OfferedFormat{ExportFormat::Csv, "CSV 文件 (*.csv)"},
    OfferedFormat{ExportFormat::JsonLines, "JSON Lines 文件 (*.jsonl)"},
};

}  // namespace

QString SaveAsNameFilter() {
    QStringList filters;
    for (const OfferedFormat& offered : kOffered) filters.append(QString::fromUtf8(offered.filter));
    return filters.join(QStringLiteral(";;"));
}

SaveAsTarget SaveAsTargetFor(const QString& fileName, const QString& selectedFilter) {
    // A typed suffix of a table format wins (data.xls too, which the Export button also writes).
    const std::string suffix = QFileInfo(fileName).suffix().toLower().toStdString();
    if (std::optional<ExportFormat> format = ExportFormatNamed(suffix)) return {fileName, *format};
    ExportFormat format = kOffered.front().format;
    for (const OfferedFormat& offered : kOffered)
        if (selectedFilter == QString::fromUtf8(offered.filter)) format = offered.format;
    return {fileName + QLatin1Char('.') + QString::fromUtf8(ExportFormatName(format)), format};
}

SaveAsAction::SaveAsAction(MainWindow& window, TableWriter write)
    : QObject(&window),
      window_(window),
      write_(write ? std::move(write)
                   : TableWriter([](ExportFormat format, const std::vector<SpreadsheetRow>& rows,
                                    const std::string& path) { return WriteTable(format, rows, path); })),
      action_(QStringLiteral("导出为…")) {
    action_.setObjectName(QStringLiteral("菜单_导出为"));
    if (auto* view = window.findChild<QTableView*>(QStringLiteral("超级列表框1"))) view->addAction(&action_);
    connect(&action_, &QAction::triggered, this, &SaveAsAction::SaveAs);
}

SaveAsAction::~SaveAsAction() {
    // The writer thread only posts back to this object; once joined, its post is dropped with us.
    if (thread_.joinable()) thread_.join();
}

void SaveAsAction::SaveAs() {
    // The item is disabled while a file is written; this catches a trigger queued before that.
    if (running_) return;
    QString selectedFilter;
    const QString fileName = Dialogs::SaveFileName(&window_, QStringLiteral("导出为"), window_.PathText(),
                                                   SaveAsNameFilter(), &selectedFilter);
    if (fileName.isEmpty()) return;
    const SaveAsTarget target = SaveAsTargetFor(fileName, selectedFilter);

    running_ = true;
    action_.setEnabled(false);
    std::vector<SpreadsheetRow> rows = TableRowsOf(*window_.WindowSidePort().Rows());
    const std::string path = QFile::encodeName(target.path).toStdString();
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this, rows = std::move(rows), path, format = target.format, write = write_] {
        WriteResult result;
        try {
            result = write(format, rows, path);
        } catch (const std::exception& error) {
            // The thread's barrier: the user hears the file was not written, and why.
            result = WriteResult::Failure(error.what());
        }
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { Finished(result); }, Qt::QueuedConnection);
    });
}

void SaveAsAction::Finished(const WriteResult& result) {
    thread_.join();
    running_ = false;
    action_.setEnabled(true);
    ShowInfoMessage(result.ok ? QStringLiteral("导出完成")
                              : QStringLiteral("导出失败：") + QString::fromUtf8(result.reason));
}

}  // namespace tollenby
