#include "app/recollect_actions.h"

#include <QTableView>

#include "app/main_window.h"
#include "collect/recollect_rows.h"
#include "collect/result_rows.h"

namespace tollenby {

RecollectActions::RecollectActions(MainWindow& window, Collector& collector)
    : QObject(&window),
      window_(window),
      collector_(collector),
      selected_(QStringLiteral("重新采集选中行")),
      failed_(QStringLiteral("重新采集失败的行")) {
    selected_.setObjectName(QStringLiteral("菜单_重新采集选中行"));
    failed_.setObjectName(QStringLiteral("菜单_重新采集失败的行"));
    if (auto* view = window.findChild<QTableView*>(QStringLiteral("超级列表框1"))) {
        view->addAction(&selected_);
        view->addAction(&failed_);
    }
    connect(&selected_, &QAction::triggered, this, &RecollectActions::RecollectSelectedRows);
    connect(&failed_, &QAction::triggered, this, &RecollectActions::RecollectFailedRows);
    connect(&window.TableActions(), &ResultTableActions::MenuAboutToShow, this, &RecollectActions::Refresh);
}

void RecollectActions::Refresh() {
    const bool idle = !collector_.Busy();
    selected_.setVisible(idle);
    failed_.setVisible(idle);
    if (!idle) return;
    selected_.setEnabled(!window_.TableActions().SelectedRows().empty());
    failed_.setEnabled(!RowsReadingFailed(window_.Port()).empty());
}

void RecollectActions::RecollectSelectedRows() {
    const ResultRows& store = *window_.WindowSidePort().Rows();
    std::vector<RowId> rows;
    for (int position : window_.TableActions().SelectedRows()) {
        RowId row = store.IdAt(static_cast<std::size_t>(position));
        if (row != kNoRow) rows.push_back(row);
    }
    Recollect(std::move(rows));
}

void RecollectActions::RecollectFailedRows() {
    Recollect(RowsReadingFailed(window_.Port()));
}

void RecollectActions::Recollect(std::vector<RowId> rows) {
    // Refused while a run goes on (the items were hidden then) or when no row is left to try: nothing
    // to tell the user beyond what the table and the status bar already show.
    collector_.Recollect(std::move(rows));
    Refresh();
}

}  // namespace tollenby
