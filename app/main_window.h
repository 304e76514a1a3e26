// MainWindow: keyword input, collection settings, time filter, export options, ResultList and the
// status bar, every control under its control name (objectName) so tests and tools find it.
//
// Collection and export threads never touch these widgets: they go through Port(), which mirrors the
// controls and carries writes back to the GUI thread (app/main_window_port.h).
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStringList>
#include <QTableView>
#include <cstdint>
#include <memory>

#include "app/detail_progress.h"
#include "app/main_window_port.h"
#include "app/result_table_actions.h"
#include "app/result_table_model.h"
#include "collect/window_port.h"

namespace tollenby {

class MainWindow : public QDialog {
    Q_OBJECT

  public:
    // Without a port of its own the window makes a fresh one.
    explicit MainWindow(std::shared_ptr<MainWindowPort> port = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // For the collection and export code. Hold SharedPort() in a thread that may outlive the window.
    WindowPort& Port() { return *port_; }
    MainWindowPort& WindowSidePort() { return *port_; }
    std::shared_ptr<MainWindowPort> SharedPort() const { return port_; }
    ResultTableModel& ResultModel() { return model_; }
    ResultTableActions& TableActions() { return tableActions_; }
    DetailProgress& Progress() { return progress_; }

    // GUI-thread reads for the export code. A leading "~" in the path box is the home folder.
    ExportOption CheckedExportOption() const;
    QString PathText() const;
    Text SelectedRegionText() const { return port_->SelectedRegionText(); }

  signals:
    // Hooks for the collection and export work, which connect their handlers to these.
    void CollectClicked();
    void StopClicked();
    void ExportClicked();

  public slots:
    // Shows on the widgets what workers wrote through the port. Queued by the port; harmless to call.
    void ApplyPortWrites();
    // The keyword input. A drop or import that yields no readable file leaves the box as it was.
    void DropFiles(const QStringList& paths);
    void ImportKeywords();
    void ClearResults();
    void SavePath();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildControls();
    void ConnectControls();
    void MirrorAllControls();
    TimeFilter CheckedTimeFilterOnWidgets() const;

    std::shared_ptr<MainWindowPort> port_;
    ResultTableModel model_;  // before the view: outlives it
    std::uint64_t shownRegionVersion_ = 0;

    // Declared in the order of the control table: siblings made later lie on top.
    QGroupBox keywordGroup_{this};
    QPlainTextEdit keywordBox_{&keywordGroup_};
    QGroupBox settingsGroup_{this};
    QLabel pageCountLabel_{&settingsGroup_};
    QLineEdit pageCountBox_{&settingsGroup_};
    QLabel threadCountLabel_{&settingsGroup_};
    QComboBox threadCountBox_{&settingsGroup_};
    QPushButton collectButton_{&settingsGroup_};
    QPushButton stopButton_{&settingsGroup_};
    QPushButton importButton_{&settingsGroup_};
    QPushButton clearButton_{&settingsGroup_};
    QGroupBox timeGroup_{this};
    QRadioButton oneDay_{&timeGroup_};
    QRadioButton oneWeek_{&timeGroup_};
    QRadioButton oneMonth_{&timeGroup_};
    QRadioButton allTime_{&timeGroup_};
    QGroupBox exportGroup_{this};
    QRadioButton exportSpreadsheet_{&exportGroup_};
    QRadioButton exportAllQr_{&exportGroup_};
    QRadioButton exportPersonal_{&exportGroup_};
    QRadioButton exportGroupQr_{&exportGroup_};
    QRadioButton exportByRegion_{&exportGroup_};
    QComboBox regionBox_{&exportGroup_};
    QLineEdit pathBox_{&exportGroup_};
    QPushButton savePathButton_{&exportGroup_};
    QPushButton exportButton_{&exportGroup_};
    QTableView resultList_{this};
    QStatusBar statusBar_{this};
    QLabel pictureBox_{this};
    QLabel hintLabel_{this};
    QButtonGroup timeButtons_{this};
    QButtonGroup exportButtons_{this};
    // After the table and the status bar they work on, so they go first.
    ResultTableActions tableActions_{resultList_};
    DetailProgress progress_{statusBar_, port_};
};

// The start routine: shows MainWindow modally over the process-wide port and returns when it has
// been closed.
int ShowMainWindowModal();

}  // namespace tollenby
