#include "app/result_table_model.h"

#include <QBrush>
#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "app/main_window_port.h"
#include "collect/collect_texts.h"
#include "collect/window_port.h"
#include "export/spreadsheet.h"
#include "ui/gbk_qstring.h"

namespace tollenby {

namespace {
// The URL column starts at width 0: it is there for the workers and the export, and shows only when
// the user widens it.
constexpr std::array<int, kColumnCount> kWidths = {50, 100, 0, 100, 100, 80, 80, 80, 80, 100, 100, 70};
}  // namespace

ResultTableModel::ResultTableModel(std::shared_ptr<ResultRows> rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(std::move(rows)) {
    RowChanges start = rows_->TakeChanges();
    generation_ = start.generation;
    shownRows_ = static_cast<int>(start.rowCount);
    timer_.setInterval(kPollMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &ResultTableModel::Poll);
    timer_.start();
}

QStringList ResultTableModel::ColumnTitles() {
    // The same titles head the exported worksheet.
    static_assert(kColumnTitles.size() == kColumnCount);
    QStringList titles;
    for (std::string_view title : kColumnTitles) titles.append(GbkToQString(Text(title)));
    return titles;
}

int ResultTableModel::ColumnWidth(int column) {
    return column >= 0 && column < kColumnCount ? kWidths[column] : 0;
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::ForegroundRole) {
        // A row whose page could not be read stands out in a long list.
        if (index.column() != kColumnStatus) return {};
        Text status = rows_->CellAt(static_cast<std::size_t>(index.row()), kColumnStatus);
        return status == kRowFailedText ? QVariant(QBrush(Qt::red)) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    // A row removed since the last poll reads as empty until the reset that follows.
    return GbkToQString(rows_->CellAt(static_cast<std::size_t>(index.row()), index.column()));
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const QStringList titles = ColumnTitles();
    return section >= 0 && section < titles.size() ? QVariant(titles[section]) : QVariant();
}

void ResultTableModel::Poll() {
    RowChanges changes = rows_->TakeChanges();
    int count = static_cast<int>(changes.rowCount);
    if (changes.generation != generation_) {
        beginResetModel();
        generation_ = changes.generation;
        shownRows_ = count;
        endResetModel();
        return;
    }
    if (changes.anyDirty && shownRows_ > 0) {
        int first = static_cast<int>(changes.dirtyFirst);
        int last = std::min(static_cast<int>(changes.dirtyLast), shownRows_ - 1);
        if (first <= last)
            emit dataChanged(index(first, 0), index(last, kColumnCount - 1),
                             {Qt::DisplayRole, Qt::ForegroundRole});
    }
    if (count > shownRows_) {
        beginInsertRows(QModelIndex(), shownRows_, count - 1);
        shownRows_ = count;
        endInsertRows();
    }
}

}  // namespace tollenby
