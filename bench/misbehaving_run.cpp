// Wall time of one collection run over the demo site's misbehaving pages (one keyword, one search
// page, its eleven rows), with the program's real limits and retries, beside the bound the limits
// were designed for: the slowest page costs three tries of 30 s plus the two waits at their longest.
//   misbehaving_run [--threads N]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "demo/demo_site.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

int main(int argc, char** argv) {
    using namespace std::chrono;
    using namespace tollenby;
    std::string threads = "5";
    if (argc == 3 && std::strcmp(argv[1], "--threads") == 0) threads = argv[2];

    InitHttp();
    demo::DemoSite site;
    site.SetMisbehaving(true);
    if (!site.Start()) {
        std::fprintf(stderr, "misbehaving_run: the demo site could not listen\n");
        return 1;
    }
    auto port = std::make_shared<MemoryWindowPort>();
    port->SetKeywordText(Utf8ToLocal("美食\r\n"));
    port->SetThreadCountText(threads);
    SharedState state;
    CollectorOptions options;
    options.searchHost = site.HostPort();
    options.completionPause = milliseconds(0);
    options.restrictToFirstProcessor = false;
    Collector collector(port, state, options);

    const auto start = steady_clock::now();
    collector.Collect();
    if (!port->WaitForRunsEnded(1, minutes(10))) {
        std::fprintf(stderr, "misbehaving_run: the run did not end within 10 minutes\n");
        return 1;
    }
    const double took = duration<double>(steady_clock::now() - start).count();
    const RunSummary summary = port->RunSummaries().front();

    const FetchLimits limits = kDetailPageLimits;
    const double bound =
        3 * duration<double>(std::max<milliseconds>(limits.stall, limits.lowSpeedTime)).count() +
        duration<double>(kFirstRetryWait + kLaterRetryWait).count() * (1 + kRetryJitter);
    std::printf(
        "misbehaving run: %.1f s wall (designed bound %.1f s), %zu rows, %zu failed, %zu search pages "
        "failed, %s workers\n",
        took, bound, summary.rows, summary.rowsFailed, summary.searchPagesFailed, threads.c_str());
    std::printf("status: %s\n", AnsiToUtf8(port->StatusText()).c_str());
    return took <= bound + 10 ? 0 : 2;
}
