// The context-menu items of ResultList that send rows to the detail workers again:
// "重新采集选中行" (the selected rows) and "重新采集失败的行" (every row that reads "采集失败").
//
// The work itself is the Collector's (Collector::Recollect); these only pick the rows. Both items are
// offered only while no run is going: they hide themselves whenever the menu opens during one.
// GUI thread only.
#pragma once

#include <QAction>
#include <QObject>
#include <vector>

#include "collect/collector.h"

namespace tollenby {

class MainWindow;

class RecollectActions : public QObject {
    Q_OBJECT

  public:
    // Adds both items to the window's table after its own. `collector` must outlive this object.
    RecollectActions(MainWindow& window, Collector& collector);

    QAction& SelectedAction() { return selected_; }
    QAction& FailedAction() { return failed_; }

  public slots:
    void RecollectSelectedRows();
    void RecollectFailedRows();
    // Shows the items unless a run is going; enables each when it has rows to work on.
    void Refresh();

  private:
    void Recollect(std::vector<RowId> rows);

    MainWindow& window_;
    Collector& collector_;
    QAction selected_;
    QAction failed_;
};

}  // namespace tollenby
