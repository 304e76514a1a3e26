// What a caller may add to a fetch beyond its described argument list: a cancel token, the status of
// the last response, a reusable session, and (for tests) other limits. Every field has a default that
// leaves the fetch exactly as described, so `FetchControl{}` changes nothing.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "web/fetch_limits.h"

namespace tollenby {

// Copies share one flag: keep a copy, hand another to the fetch, and Cancel() from any thread. A fetch
// in flight notices within kWatchInterval (well under 100 ms) and returns an empty result.
class CancelToken {
  public:
    CancelToken() : flag_(std::make_shared<std::atomic<bool>>(false)) {}
    void Cancel() const { flag_->store(true, std::memory_order_relaxed); }
    void Reset() const { flag_->store(false, std::memory_order_relaxed); }
    bool IsCancelled() const { return flag_->load(std::memory_order_relaxed); }

  private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

// One libcurl handle and its connection cache, reusable by one thread at a time: consecutive fetches
// through the same session keep their connections open. It is also what FetchPageByRequestObject
// accepts as its request object. A session never holds cookies of its own.
class HttpSession {
  public:
    HttpSession();
    ~HttpSession();
    HttpSession(HttpSession&&) noexcept;
    HttpSession& operator=(HttpSession&&) noexcept;

    bool Valid() const;  // false when libcurl could not create the handles

    struct Impl;
    Impl& Handles() { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

struct FetchControl {
    CancelToken cancel{};                 // a fresh token nobody sets, unless the caller passes its own
    int* statusCode = nullptr;            // receives the final response's HTTP status; 0 when none came
    HttpSession* session = nullptr;       // FetchPage: run on this session instead of the thread's own
    std::optional<FetchLimits> limits{};  // replaces the routine's own time-outs and caps
};

// Prepares libcurl for the process. Call it once at start-up, before any thread that fetches is
// started; the fetchers call it too, which is harmless afterwards. Returns false when libcurl failed.
bool InitHttp();

}  // namespace tollenby
