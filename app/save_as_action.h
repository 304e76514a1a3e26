// ResultList's context-menu item "导出为…": the whole table into a file the user names, as .xlsx, .csv or
// .jsonl, beside the Export button's data.xls.
//
// The save dialog starts in the path box's folder. The file's format is that of its suffix; a name with
// none of the table formats' suffixes gets the suffix of the filter chosen. Like the Export button's
// workbook, the file is written on a thread of its own over a snapshot of the table taken at the click,
// the item is disabled meanwhile, and the outcome is told the same way: "导出完成", or "导出失败："
// with the reason. GUI thread only.
#pragma once

#include <QAction>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "export/table_export.h"

namespace tollenby {

class MainWindow;

using TableWriter = std::function<WriteResult(ExportFormat format, const std::vector<SpreadsheetRow>& rows,
                                              const std::string& path)>;

// The save dialog's filters, the first one chosen by default.
QString SaveAsNameFilter();

// The file a save-as writes for the name the dialog gave and the filter chosen, with its format.
struct SaveAsTarget {
    QString path;
    ExportFormat format = ExportFormat::Xlsx;
};
SaveAsTarget SaveAsTargetFor(const QString& fileName, const QString& selectedFilter);

class SaveAsAction : public QObject {
    Q_OBJECT

  public:
    // Adds the item to the window's table after those already there. Lives no longer than the window.
    explicit SaveAsAction(MainWindow& window, TableWriter write = {});
    ~SaveAsAction() override;  // waits for a file being written

    QAction& Action() { return action_; }
    bool Running() const { return running_; }

  public slots:
    void SaveAs();

  private:
    void Finished(const WriteResult& result);

    MainWindow& window_;
    TableWriter write_;
    QAction action_;
    bool running_ = false;
    std::thread thread_;
};

}  // namespace tollenby
