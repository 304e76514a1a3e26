// Helpers shared by the fuzz entry points: cutting an input into texts, checking a property, and
// timing a search against the regular-expression budget.
#pragma once

#include <time.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "match/regex_matcher.h"

namespace tollenby::fuzz {

// A property that does not hold stops the run: libFuzzer and the corpus replay both report the abort
// as a crash and keep the input.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what) {
    if (!holds) Fail(what);
}

inline std::string_view AsBytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input cut at zero bytes into at most `count` pieces (the last takes the rest, zeros included;
// missing pieces are empty). A text never holds a zero byte, so the zero byte is free to part them.
inline std::vector<std::string_view> Pieces(std::string_view input, std::size_t count) {
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < count) {
        std::size_t zero = input.find('\0');
        if (zero == std::string_view::npos) break;
        pieces.push_back(input.substr(0, zero));
        input.remove_prefix(zero + 1);
    }
    pieces.push_back(input);
    pieces.resize(count);
    return pieces;
}

// The first byte of the input as option bits, and the rest.
struct Options {
    std::uint8_t bits = 0;
    std::string_view rest;
    bool Bit(int n) const { return (bits >> n) & 1; }
};
inline Options TakeOptions(std::string_view input) {
    if (input.empty()) return {};
    return {static_cast<std::uint8_t>(input[0]), input.substr(1)};
}

// Processor time of the calling thread. A search that overruns its budget keeps the processor busy,
// while one that stops in time cannot have used more than its budget of it, however loaded the machine
// is (wall time can be many times longer when other work shares the processor).
inline std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Runs `work`, which makes `searches` regular-expression searches, and fails when it keeps the
// processor busier than twice their budget: the budget may be met loosely (a clock is read now and
// then), never ignored. Sanitizer builds run slower, so the bound is generous on purpose.
template <class Work>
void WithinSearchBudget(int searches, Work&& work) {
    auto begin = ThreadCpuTime();
    work();
    if (ThreadCpuTime() - begin > 2 * searches * kRegexSearchBudget)
        Fail("a search ran over its time budget");
}

}  // namespace tollenby::fuzz
