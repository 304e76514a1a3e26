#include "app/result_table_actions.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>
#include <algorithm>

#include "app/dialogs.h"
#include "app/rows_tsv.h"
#include "collect/window_port.h"

namespace tollenby {

QUrl DetailPageAddress(const QString& text) {
    QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
    return url;
}

ResultTableActions::ResultTableActions(QTableView& view)
    : QObject(&view),
      view_(view),
      copy_(QStringLiteral("复制")),
      open_(QStringLiteral("打开详情页")),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    copy_.setObjectName(QStringLiteral("菜单_复制"));
    open_.setObjectName(QStringLiteral("菜单_打开详情页"));
    // Shown beside the item; the key itself is caught by eventFilter, because the view would
    // otherwise copy only the current cell.
    copy_.setShortcut(QKeySequence::Copy);
    copy_.setShortcutContext(Qt::WidgetShortcut);
    view_.addAction(&copy_);
    view_.addAction(&open_);
    connect(&copy_, &QAction::triggered, this, &ResultTableActions::CopySelectedRows);
    connect(&open_, &QAction::triggered, this, &ResultTableActions::OpenCurrentDetailPage);
    connect(&view_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenDetailPage(index.row()); });
    view_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view_, &QWidget::customContextMenuRequested, this, &ResultTableActions::ShowMenu);
    view_.installEventFilter(this);
}

std::vector<int> ResultTableActions::SelectedRows() const {
    std::vector<int> rows;
    if (view_.selectionModel() == nullptr) return rows;
    for (const QModelIndex& index : view_.selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString ResultTableActions::SelectedRowsText() const {
    const QAbstractItemModel* model = view_.model();
    std::vector<QStringList> cells;
    if (model == nullptr) return {};
    for (int row : SelectedRows()) {
        QStringList line;
        for (int column = 0; column < kColumnCount; ++column)
            line.append(model->index(row, column).data(Qt::DisplayRole).toString());
        cells.push_back(std::move(line));
    }
    return RowsAsTsv(cells);
}

void ResultTableActions::CopySelectedRows() {
    if (SelectedRows().empty()) return;
    QGuiApplication::clipboard()->setText(SelectedRowsText());
}

void ResultTableActions::OpenCurrentDetailPage() {
    QModelIndex current = view_.currentIndex();
    if (current.isValid()) OpenDetailPage(current.row());
}

void ResultTableActions::OpenDetailPage(int row) {
    const QAbstractItemModel* model = view_.model();
    if (model == nullptr || row < 0 || row >= model->rowCount()) return;
    const QString text = model->index(row, kColumnUrl).data(Qt::DisplayRole).toString();
    const QUrl url = DetailPageAddress(text);
    if (url.isEmpty()) {
        ShowInfoMessage(QStringLiteral("无法打开详情页：这一行没有网页地址"));
        return;
    }
    if (!opener_(url)) ShowInfoMessage(QStringLiteral("无法打开详情页：没有能打开 %1 的浏览器").arg(text));
}

void ResultTableActions::RefreshEnabled() {
    copy_.setEnabled(!SelectedRows().empty());
    open_.setEnabled(view_.currentIndex().isValid());
}

void ResultTableActions::ShowMenu(const QPoint& position) {
    RefreshEnabled();
    QMenu::exec(view_.actions(), view_.viewport()->mapToGlobal(position), nullptr, &view_);
}

bool ResultTableActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelectedRows();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tollenby
