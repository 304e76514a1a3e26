// A 50 MB keyword file (3.3 million lines) through the real MainWindow (offscreen): the import by a drop,
// pressing Collect, a few seconds of the search phase, Stop and Clear. Reports how long the import took,
// the longest GUI-thread stall during the import and after Collect (the largest gap between ticks of a
// 1 ms timer, or the length of a handler that held the thread), the resident size at each step and the
// peak.
//   QT_QPA_PLATFORM=offscreen build/bench/keyword_import_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/collect_wiring.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "demo/demo_site.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

double ResidentMiB() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// About 50 MB of keywords, UTF-8, CR LF: short Chinese words with a number, as a scraped list holds.
std::filesystem::path WriteKeywordFile() {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "tollenby-keywords-50mb.txt";
    std::ofstream out(path, std::ios::binary);
    const char* words[] = {"深圳交流群", "户外徒步", "读书会",   "宝妈群",
                           "二手车",     "美食推荐", "考研资料", "健身打卡"};
    for (long k = 0; k < 3'300'000; ++k) out << words[k % 8] << (k / 8) << "\r\n";
    return path;
}

// Longest gap between ticks of a 1 ms timer while `pump` keeps the event loop going for `ms`.
class StallWatch {
  public:
    StallWatch() {
        ticker_.setInterval(1);
        QObject::connect(&ticker_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
    }
    void Start() {
        longest_ = 0;
        since_.start();
        ticker_.start();
    }
    void Pump(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    qint64 Stop() {
        ticker_.stop();
        return longest_;
    }

  private:
    QTimer ticker_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

void ImportAndCollect(benchmark::State& state) {
    const std::filesystem::path file = WriteKeywordFile();
    InitHttp();
    demo::DemoSite site;
    if (!site.Start()) return state.SkipWithError("demo site did not start");
    const double startMiB = ResidentMiB();
    MainWindow window(std::make_shared<MainWindowPort>());
    SharedState shared;
    CollectorOptions options;
    options.searchHost = site.HostPort();
    options.completionPause = std::chrono::milliseconds(0);
    options.restrictToFirstProcessor = false;  // the site runs in this process
    CollectionWiring wiring(window, shared, options);
    window.show();
    auto* collect = window.findChild<QPushButton*>(QString::fromUtf8("按钮_采集"));
    auto* stop = window.findChild<QPushButton*>(QString::fromUtf8("按钮_停止"));
    auto* clear = window.findChild<QPushButton*>(QString::fromUtf8("按钮_清空"));
    StallWatch watch;
    for (auto _ : state) {
        watch.Start();
        QElapsedTimer importTime;
        importTime.start();
        window.DropFiles({QString::fromStdString(file.string())});
        const qint64 dropCall = importTime.elapsed();
        watch.Pump(2000);  // whatever the import left for the event loop
        const qint64 importStall = std::max(dropCall, watch.Stop());
        state.counters["import_call_ms"] = static_cast<double>(dropCall);
        state.counters["import_stall_ms"] = static_cast<double>(importStall);
        state.counters["after_import_MiB"] = ResidentMiB();

        watch.Start();
        QElapsedTimer clickTime;
        clickTime.start();
        collect->click();
        const qint64 clickCall = clickTime.elapsed();
        watch.Pump(5000);  // the search phase runs meanwhile
        state.counters["collect_stall_ms"] = static_cast<double>(std::max(clickCall, watch.Stop()));
        state.counters["search_phase_MiB"] = ResidentMiB();
        stop->click();
        wiring.Collection().WaitUntilIdle(std::chrono::seconds(60));
        watch.Pump(500);
        clear->click();
        watch.Pump(500);
        state.counters["after_clear_MiB"] = ResidentMiB();
    }
    state.counters["start_MiB"] = startMiB;
    state.counters["peak_MiB"] = PeakMiB();
    std::filesystem::remove(file);
}
BENCHMARK(ImportAndCollect)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
