// ResultList's model: a view of a ResultRows store that many threads write to.
//
// Workers never signal the model. It polls the store's change journal on a GUI-thread timer and
// tells the view about everything that happened since the last poll in at most three notifications
// (a reset after Clear, one block of inserted rows, one range of changed rows), so twenty workers
// writing cells cost the GUI thread one repaint per tick, not one per cell.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "collect/result_rows.h"

namespace tollenby {

class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kPollMilliseconds = 40;

    explicit ResultTableModel(std::shared_ptr<ResultRows> rows, QObject* parent = nullptr);

    // The column titles and widths of ResultList.
    static QStringList ColumnTitles();
    static int ColumnWidth(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const std::shared_ptr<ResultRows>& Rows() const { return rows_; }

  public slots:
    // Brings the view up to the store now; the timer calls it too.
    void Poll();

  private:
    std::shared_ptr<ResultRows> rows_;
    QTimer timer_;
    std::uint64_t generation_ = 0;
    int shownRows_ = 0;  // rows the view has been told about
};

}  // namespace tollenby
