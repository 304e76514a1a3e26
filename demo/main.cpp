// tollenby-demo-site: the demo directory site on 127.0.0.1, for ./run.sh --demo and for trying the
// program without a network.
//   tollenby-demo-site [--port N] [--latency-ms N] [--misbehave]
// --misbehave lists, for every keyword, hits whose detail pages fail (demo/misbehaving_pages.h).
// --port 0 (the default) picks a free port; the address is printed once the site listens.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "demo/demo_site.h"

namespace {

bool ParseNumber(std::string_view text, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

int Usage() {
    std::fprintf(stderr, "usage: tollenby-demo-site [--port N] [--latency-ms N] [--misbehave]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int latencyMs = 0;
    bool misbehave = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--misbehave") {
            misbehave = true;
            continue;
        }
        int* target = arg == "--port" ? &port : arg == "--latency-ms" ? &latencyMs : nullptr;
        if (!target || i + 1 >= argc || !ParseNumber(argv[++i], *target)) return Usage();
    }

    // The serving threads inherit this mask, so only sigwait below sees the signals.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    tollenby::demo::DemoSite site;
    site.SetLatency(std::chrono::milliseconds(latencyMs));
    site.SetMisbehaving(misbehave);
    if (!site.Start(port)) {
        std::fprintf(stderr, "tollenby-demo-site: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("Demo directory site on %s/ (port %d)\n", site.BaseUrl().c_str(), site.Port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    site.Stop();
    return 0;
}
