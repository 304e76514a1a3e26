// The slim progress bar at the right end of the status bar: rows finished of rows started while the
// detail phase runs, hidden otherwise.
//
// It asks the window's port and the row store on a timer of the GUI thread; the workers know nothing
// of it. A row counts as started once its work-status cell holds anything, and as finished once that
// is no longer "正在采集中".
#pragma once

#include <QObject>
#include <QProgressBar>
#include <QTimer>
#include <cstddef>
#include <memory>

class QStatusBar;

namespace tollenby {

class MainWindowPort;
class ResultRows;

struct DetailCounts {
    std::size_t started = 0;
    std::size_t finished = 0;
};
DetailCounts CountDetailRows(const ResultRows& rows);

class DetailProgress : public QObject {
    Q_OBJECT

  public:
    static constexpr int kRefreshMilliseconds = 200;

    DetailProgress(QStatusBar& statusBar, std::shared_ptr<MainWindowPort> port);

    const QProgressBar& Bar() const { return bar_; }

  public slots:
    // The timer calls it too.
    void Refresh();

  private:
    std::shared_ptr<MainWindowPort> port_;
    QProgressBar bar_;
    QTimer timer_;
};

}  // namespace tollenby
