// The detail phase and the QR image download at internet distance: the demo site serves HTTPS under
// an authority made at run time (FetchPage verifies it through TOLLENBY_CA_FILE) behind a proxy that
// adds a round trip of latency (bench/latency_proxy.h), and the site takes a fixed time per answer.
//
//   DetailPhaseOverHttps/rows/workers/rtt_ms/server_ms: wall time of the detail phase (from its
//     status text to the last row done) against ideal = ceil(rows/workers) x (rtt + server), and the
//     connections the phase opened through the proxy.
//   QrImagesOverHttps/images/rtt_ms/server_ms: the download job over that many rows' images, against
//     ideal = ceil(images/20) x (rtt + server) for 20 images at a time.
//
//     build/bench/network_bench
// The search pages come straight from a second, plain demo site, so only the measured phase pays the
// distance. The site keeps connections open, as sites on the internet do.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "bench/latency_proxy.h"
#include "collect/collect_texts.h"
#include "collect/collector.h"
#include "collect/memory_window_port.h"
#include "demo/demo_site.h"
#include "demo/test_authority.h"
#include "export/download_job.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Notes when the detail phase begins.
class TimedPort : public MemoryWindowPort {
  public:
    void SetStatusText(const Text& text) override {
        if (text == kDetailPhaseText) {
            std::lock_guard lock(lock_);
            detailStart_ = Clock::now();
        }
        MemoryWindowPort::SetStatusText(text);
    }
    std::optional<Clock::time_point> DetailStart() {
        std::lock_guard lock(lock_);
        return detailStart_;
    }

  private:
    std::mutex lock_;
    std::optional<Clock::time_point> detailStart_;
};

// The secure site behind the proxy, trusted through the environment before anything fetches.
struct DistantSite {
    demo::TestAuthority authority;
    std::optional<demo::DemoSite> site;
    std::optional<bench::LatencyProxy> proxy;

    bool Start(milliseconds roundTrip, milliseconds serverTime) {
        if (!authority.ok) return false;
        ::setenv("TOLLENBY_CA_FILE", authority.authorityFile.c_str(), 1);
        site.emplace(authority.certificateFile, authority.keyFile);
        // As a web server on the internet does, the site keeps a connection for many requests.
        site->SetKeepAliveRequests(1000);
        if (!site->Start()) return false;
        site->SetLatency(serverTime);
        proxy.emplace(site->Port(), roundTrip);
        if (!proxy->Start()) return false;
        site->SetLinkBase(Base());  // its QR links lead through the proxy too
        return true;
    }
    std::string Base() const { return "https://127.0.0.1:" + std::to_string(proxy->Port()); }
};

void DetailPhaseOverHttps(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    const int workers = static_cast<int>(state.range(1));
    const milliseconds roundTrip(state.range(2));
    const milliseconds serverTime(state.range(3));
    DistantSite distant;
    if (!distant.Start(roundTrip, serverTime)) return state.SkipWithError("the HTTPS site did not start");
    demo::DemoSite search;
    if (!search.Start()) return state.SkipWithError("the search site did not start");
    search.SetLinkBase(distant.Base());
    InitHttp();

    SharedState shared;
    auto port = std::make_shared<TimedPort>();
    Text keywords;
    for (const std::string& keyword : demo::KeywordsFillingFirstPages(rows)) keywords += keyword + "\r\n";
    port->SetKeywordText(keywords);
    port->SetPageCountText("1");
    port->SetThreadCountText(std::to_string(workers));
    Collector collector(port, shared, {search.HostPort(), milliseconds(0), milliseconds(100), false});
    double worst = 0;
    double best = 1e9;
    int connections = 0;
    for (auto _ : state) {
        const int before = distant.proxy->ConnectionsOpened();
        collector.Collect();
        collector.WaitUntilIdle(std::chrono::minutes(5));
        const auto end = Clock::now();
        const std::optional<Clock::time_point> start = port->DetailStart();
        if (!start || port->Rows().Count() != rows) return state.SkipWithError("unexpected row count");
        // Every row must really have been read over HTTPS: its QR column is what the site holds.
        for (std::size_t row = 0; row < rows; ++row) {
            const std::string url = AnsiToUtf8(port->Rows().CellAt(row, kColumnUrl));
            const std::size_t idAt = url.rfind('/') + 1;
            const auto id = static_cast<std::uint32_t>(std::stoul(url.substr(idAt)));
            const demo::DemoEntry expected = demo::DetailOf(id, distant.Base());
            const std::string qr = AnsiToUtf8(port->Rows().CellAt(row, kColumnQrImage));
            if (port->Rows().CellAt(row, kColumnStatus) != kRowDoneText ||
                (!expected.deleted && qr != expected.qrImage)) {
                std::fprintf(stderr, "row %zu [%s] (%s) was not read: QR [%s] want [%s] region [%s]\n", row,
                             AnsiToUtf8(port->Rows().CellAt(row, kColumnStatus)).c_str(), url.c_str(),
                             qr.c_str(), expected.qrImage.c_str(),
                             AnsiToUtf8(port->Rows().CellAt(row, kColumnRegion)).c_str());
                return state.SkipWithError("a row was not read");
            }
        }
        const double seconds = std::chrono::duration<double>(end - *start).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
        best = std::min(best, seconds);
        connections = distant.proxy->ConnectionsOpened() - before;
    }
    const double ideal =
        std::ceil(double(rows) / workers) * std::chrono::duration<double>(roundTrip + serverTime).count();
    state.counters["ideal_s"] = ideal;
    state.counters["best_vs_ideal"] = best / ideal;
    state.counters["worst_vs_ideal"] = worst / ideal;
    state.counters["connections"] = connections;
}
BENCHMARK(DetailPhaseOverHttps)
    ->Args({200, 20, 50, 20})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void QrImagesOverHttps(benchmark::State& state) {
    const auto images = static_cast<std::size_t>(state.range(0));
    const milliseconds roundTrip(state.range(1));
    const milliseconds serverTime(state.range(2));
    constexpr int kWorkers = 20;
    DistantSite distant;
    if (!distant.Start(roundTrip, serverTime)) return state.SkipWithError("the HTTPS site did not start");
    InitHttp();
    TextArray addresses;
    std::size_t expected = 0;
    for (std::uint32_t id = 1; addresses.size() < images; ++id) {
        if (!demo::QrImageGif(id)) continue;  // an image the site answers 404 for
        addresses.push_back(distant.Base() + "/qr/" + std::to_string(id) + ".gif");
        ++expected;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tollenby-qr-bench";
    int connections = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(folder);  // the index of a failed run stays for a look
        std::filesystem::create_directories(folder);
        DownloadJobIo io;
        io.folder = [&] { return folder.string(); };
        io.threads = kWorkers;
        const int before = distant.proxy->ConnectionsOpened();
        const auto start = Clock::now();
        DownloadCounts counts = RunDownloadJob(addresses, io, {});
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        connections = distant.proxy->ConnectionsOpened() - before;
        if (counts.written != expected) {
            std::fprintf(stderr, "written %zu of %zu, failed %zu; see %s/images.csv\n", counts.written,
                         expected, counts.failed, folder.c_str());
            return state.SkipWithError("not every image was written");
        }
    }
    std::filesystem::remove_all(folder);
    const double ideal =
        std::ceil(double(images) / kWorkers) * std::chrono::duration<double>(roundTrip + serverTime).count();
    state.counters["ideal_s"] = ideal;
    state.counters["vs_ideal"] = seconds / ideal;
    state.counters["connections"] = connections;
}
BENCHMARK(QrImagesOverHttps)
    ->Args({1000, 50, 20})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
