// DownloadWindow: the small modal dialog through which the chosen QR images leave as 1.gif, 2.gif and
// on. Opening it fills DownloadUrlList by the export option; Start Download runs a DownloadJob on a
// thread of its own over a copy of that list; Done closes the window.
//
// The job never touches a widget: it reaches the window through a shared link that the window severs
// when it goes, and every change it asks for is queued to the GUI thread. A job whose window has been
// closed finishes its files silently; the DownloadJobs it runs on stops it only when that goes too
// (program exit).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <mutex>
#include <vector>

#include "collect/window_port.h"
#include "export/download_job.h"
#include "export/qr_selection.h"
#include "text/gbk_text.h"

namespace tollenby {

// What the window reads of MainWindow when it opens.
struct DownloadSelection {
    ExportOption option = ExportOption::AllQrCodes;
    Text selectedRegion;           // the region box's selected item, empty when none
    std::vector<QrRowTexts> rows;  // ResultList, columns 3, 7 and 10
};

// DownloadUrlList and its lock (process-wide; they outlive every window).
struct UrlListRef {
    std::mutex& lock;
    TextArray& list;
};

class DownloadWindowLink;

class DownloadWindow : public QDialog {
    Q_OBJECT

  public:
    // `jobs` must outlive the window; `io.folder` is called on the job's thread.
    DownloadWindow(const DownloadSelection& selection, UrlListRef urlList, DownloadJobs& jobs,
                   DownloadJobIo io, QWidget* parent = nullptr);
    ~DownloadWindow() override;

  public slots:
    void StartDownload();  // the Start Download button; returns at once

  private:
    void BuildControls();
    void ShowMessage(const Text& text);
    void JobStarted(std::size_t total);
    void ImageStarting(std::size_t number);
    void JobFinished(const DownloadCounts& counts);

    UrlListRef urlList_;
    DownloadJobs& jobs_;
    DownloadJobIo io_;
    std::shared_ptr<DownloadWindowLink> link_;

    QLabel messageLabel_{this};
    QProgressBar progressBar_{this};
    QPushButton startButton_{this};
    QPushButton doneButton_{this};
};

}  // namespace tollenby
