// A 5,000-row collection run through the real MainWindow (offscreen) against the in-process demo
// site: the longest stall of the GUI thread while the run fills the table, measured as the largest gap
// between ticks of a 1 ms timer, and the process's peak resident size.
//   QT_QPA_PLATFORM=offscreen build/bench/collect_window_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

#include "app/collect_wiring.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

// Keywords whose first pages hold exactly `rows` hits together, one per line.
QString KeywordsForRows(std::size_t rows) {
    QString text;
    for (const std::string& keyword : demo::KeywordsFillingFirstPages(rows))
        text += QString::fromStdString(keyword) + "\n";
    return text;
}

void WindowRun(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    InitHttp();
    demo::DemoSite site;
    if (!site.Start()) return state.SkipWithError("demo site did not start");
    MainWindow window(std::make_shared<MainWindowPort>());
    SharedState shared;
    CollectorOptions options;
    options.searchHost = site.HostPort();
    options.completionPause = std::chrono::milliseconds(0);
    options.restrictToFirstProcessor = false;  // the site runs in this process
    CollectionWiring wiring(window, shared, options);
    window.show();
    window.findChild<QPlainTextEdit*>(QString::fromUtf8("编辑框_关键词"))
        ->setPlainText(KeywordsForRows(rows));
    auto* collect = window.findChild<QPushButton*>(QString::fromUtf8("按钮_采集"));

    for (auto _ : state) {
        qint64 longest = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longest = std::max(longest, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
        collect->click();
        while (!wiring.Collection().WaitUntilIdle(std::chrono::milliseconds(0)) || !collect->isEnabled())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Let the window show the last writes.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ticker.stop();
        state.counters["longest_gui_stall_ms"] = static_cast<double>(longest);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = usage.ru_maxrss / 1024.0;
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(WindowRun)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tollenby

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
