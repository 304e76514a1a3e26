// Waiting in tests for what another thread brings about, and timing a call; both bounded and plain C++.
#pragma once

#include <chrono>
#include <functional>

namespace tollenby::testing {

// Polls `condition` every 2 ms until it holds (true) or `timeout` has passed (false).
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Milliseconds a callable takes.
template <class F>
long long MillisecondsOf(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace tollenby::testing
