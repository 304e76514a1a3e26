// Sequential FetchPage calls to a loopback server: a fresh handle per call against one reused session.
//   build/bench/fetch_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <optional>
#include <thread>

#include "web/fetch_page.h"

namespace tollenby {
namespace {

// One small page, like a QR image or a short detail page, served from 127.0.0.1.
class LoopbackServer {
  public:
    LoopbackServer() {
        // Without it Nagle's algorithm and delayed ACKs add ~40 ms to every answer on a kept connection.
        server_.set_tcp_nodelay(true);
        server_.Get("/page", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(4096, 'p'), "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() {
        server_.stop();
        thread_.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/page"; }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// freshHandle: a new session (easy and multi handle, connection) per call; otherwise FetchPage's
// default, the calling thread's own session with its kept connection.
void Run(benchmark::State& state, bool freshHandle) {
    InitHttp();
    LoopbackServer server;
    const std::string url = server.Url();
    for (auto _ : state) {
        std::optional<HttpSession> fresh;
        FetchControl control;
        if (freshHandle) control.session = &fresh.emplace();
        ByteString body =
            FetchPage(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {}, control);
        if (body.size() != 4096) state.SkipWithError("fetch failed");
        benchmark::DoNotOptimize(body);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FetchPageFreshHandle(benchmark::State& state) {
    Run(state, true);
}
void BM_FetchPageReusedPerThread(benchmark::State& state) {
    Run(state, false);
}

BENCHMARK(BM_FetchPageFreshHandle)->Iterations(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FetchPageReusedPerThread)->Iterations(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace tollenby

BENCHMARK_MAIN();
