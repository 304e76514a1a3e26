#include "app/export_action.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <optional>
#include <utility>

#include "app/dialogs.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "collect/result_rows.h"
#include "collect/search_phase.h"
#include "export/download_window.h"
#include "export/qr_selection.h"

namespace tollenby {

std::vector<SpreadsheetRow> SpreadsheetRowsOf(const ResultRows& rows) {
    const std::size_t count = rows.Count();
    std::vector<SpreadsheetRow> snapshot;
    snapshot.reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        if (std::optional<RowCells> cells = rows.Cells(rows.IdAt(position)))
            snapshot.push_back(std::move(*cells));
    }
    return snapshot;
}

ExportAction::ExportAction(MainWindow& window, ExportActionOptions options)
    : QObject(&window),
      window_(window),
      port_(window.SharedPort()),
      options_(std::move(options)),
      exportButton_(window.findChild<QPushButton*>(QStringLiteral("按钮_导出"))) {
    connect(&window, &MainWindow::ExportClicked, this, &ExportAction::Export);
}

ExportAction::~ExportAction() {
    // The writer thread only posts back to this object; once joined, its post is dropped with us.
    if (spreadsheetThread_.joinable()) spreadsheetThread_.join();
}

void ExportAction::Export() {
    const QString folder = window_.PathText();
    if (folder.isEmpty()) {
        ShowInfoMessage(QStringLiteral("请先选择要保存的路径"));
        return;
    }
    const ExportOption option = window_.CheckedExportOption();
    if (option == ExportOption::Spreadsheet) {
        ExportSpreadsheet(folder);
    } else {
        OpenDownloadWindow(option);
    }
}

void ExportAction::ExportSpreadsheet(const QString& folder) {
    // The button is disabled while a workbook is written; this catches a click queued before that.
    if (spreadsheetRunning_) return;
    spreadsheetRunning_ = true;
    if (exportButton_) exportButton_->setEnabled(false);

    std::vector<SpreadsheetRow> rows = SpreadsheetRowsOf(*port_->Rows());
    // The separator goes in even after a trailing one; the doubled separator reads as one.
    const std::string path =
        QFile::encodeName(folder + QDir::separator() + QString::fromUtf8(kSpreadsheetFileName)).toStdString();
    if (spreadsheetThread_.joinable()) spreadsheetThread_.join();
    spreadsheetThread_ = std::thread([this, rows = std::move(rows), path, write = options_.writeSpreadsheet] {
        WriteResult result;
        try {
            result = write(rows, path, ColumnTitleTexts());
        } catch (const std::exception& error) {
            // The thread's barrier: the user hears the workbook was not written, and why.
            result = WriteResult::Failure(error.what());
        }
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { SpreadsheetFinished(result); }, Qt::QueuedConnection);
    });
}

void ExportAction::SpreadsheetFinished(const WriteResult& result) {
    spreadsheetThread_.join();
    spreadsheetRunning_ = false;
    if (exportButton_) exportButton_->setEnabled(true);
    ShowInfoMessage(result.ok ? QStringLiteral("导出完成")
                              : QStringLiteral("导出失败：") + QString::fromUtf8(result.reason));
}

void ExportAction::OpenDownloadWindow(ExportOption option) {
    DownloadSelection selection{option, port_->SelectedRegionText(), QrRowsOf(*port_->Rows())};
    DownloadJobIo io;
    // The path box, read through the port on the job's thread for every image.
    io.folder = [port = port_] { return QFile::encodeName(port->PathText()).toStdString(); };
    io.fetch = options_.fetchImage;
    // The thread-count box, as for the detail pages; it cannot change while the modal window is open.
    io.threads = std::max(1, LeadingInteger(port_->ThreadCountText()));
    Globals& globals = AppGlobals();
    DownloadWindow window(selection, {globals.DownloadUrlListLock, globals.DownloadUrlList}, downloads_,
                          std::move(io), &window_);
    window.exec();
}

}  // namespace tollenby
