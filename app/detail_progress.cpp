#include "app/detail_progress.h"

#include <QStatusBar>
#include <algorithm>
#include <climits>
#include <utility>

#include "app/main_window_port.h"
#include "collect/collect_texts.h"
#include "collect/result_rows.h"

namespace tollenby {

DetailCounts CountDetailRows(const ResultRows& rows) {
    DetailCounts counts;
    const std::size_t total = rows.Count();
    for (std::size_t position = 0; position < total; ++position) {
        Text status = rows.CellAt(position, kColumnStatus);
        if (status.empty()) continue;
        ++counts.started;
        if (status != kRowWorkingText) ++counts.finished;
    }
    return counts;
}

namespace {
int ClampToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}
}  // namespace

DetailProgress::DetailProgress(QStatusBar& statusBar, std::shared_ptr<MainWindowPort> port)
    : QObject(&statusBar), port_(std::move(port)), bar_(&statusBar) {
    bar_.setObjectName(QStringLiteral("进度条_详细信息"));
    bar_.setFixedSize(160, 12);
    bar_.setTextVisible(false);
    bar_.setRange(0, 1);
    statusBar.addPermanentWidget(&bar_);
    bar_.hide();
    timer_.setInterval(kRefreshMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &DetailProgress::Refresh);
    timer_.start();
}

void DetailProgress::Refresh() {
    // The run is in its detail phase while Collect is disabled and the status bar says so; Stop and
    // the run's end each change one of the two.
    const bool detailPhase = !port_->CollectEnabled() && port_->StatusText() == kDetailPhaseText;
    if (!detailPhase) {
        bar_.hide();
        return;
    }
    const DetailCounts counts = CountDetailRows(*port_->Rows());
    // A range of 0 to 0 would make the bar a busy indicator; before the first row starts it stays empty.
    bar_.setRange(0, std::max(1, ClampToInt(counts.started)));
    bar_.setValue(ClampToInt(counts.finished));
    bar_.setToolTip(QStringLiteral("%1 / %2").arg(counts.finished).arg(counts.started));
    bar_.show();
}

}  // namespace tollenby
