// The Export button: data.xls for the option "全部", the download window for the image options.
//
// The workbook is written on a thread of its own over a snapshot of ResultList taken at the click, so
// the window stays responsive. While it is being written the Export button is disabled (a second
// export of the same file is refused that way), and the result is reported when it is done:
// "导出完成", or "导出失败：" with the reason. The download window runs its jobs on this object's
// DownloadJobs, which stops and joins them when this object goes.
#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "collect/window_port.h"
#include "export/download_job.h"
#include "export/spreadsheet.h"
#include "export/write_result.h"

namespace tollenby {

class MainWindow;
class MainWindowPort;
class ResultRows;

using SpreadsheetWriter = std::function<WriteResult(const std::vector<SpreadsheetRow>& rows,
                                                    const std::string& filePath, const TextArray& titles)>;

struct ExportActionOptions {
    SpreadsheetWriter writeSpreadsheet = WriteSpreadsheet;
    ImageFetcher fetchImage{};  // empty: FetchImage with the download job's retries
};

// Every row of ResultList as it stands: the row count read once, rows that vanish meanwhile left out.
std::vector<SpreadsheetRow> SpreadsheetRowsOf(const ResultRows& rows);

class ExportAction : public QObject {
  public:
    // Connects itself to the window's Export button. Lives no longer than the window.
    explicit ExportAction(MainWindow& window, ExportActionOptions options = {});
    ~ExportAction() override;  // waits for a workbook being written; stops and joins download jobs

    void Export();  // the Export button's handler (GUI thread)
    bool SpreadsheetRunning() const { return spreadsheetRunning_; }
    DownloadJobs& Downloads() { return downloads_; }

  private:
    void ExportSpreadsheet(const QString& folder);
    void SpreadsheetFinished(const WriteResult& result);
    void OpenDownloadWindow(ExportOption option);

    MainWindow& window_;
    std::shared_ptr<MainWindowPort> port_;
    ExportActionOptions options_;
    QPointer<QPushButton> exportButton_;
    bool spreadsheetRunning_ = false;
    std::thread spreadsheetThread_;
    DownloadJobs downloads_;
};

}  // namespace tollenby
