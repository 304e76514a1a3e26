// What a caller may add to a fetch beyond its ordinary arguments: a cancel token, the status of the
// last response, a reusable session, and (for tests) other limits. Every field has a default that
// leaves the fetch as it is without it, so `FetchControl{}` changes nothing.
#pragma once

#include <memory>
#include <optional>
#include <stop_token>

#include "web/fetch_limits.h"

namespace tollenby {

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

// Why a transfer ended without a complete response. The HTTP status is judged separately, by the caller.
enum class TransferFailure {
    None,              // a complete response arrived (whatever its status)
    NoResponse,        // refused, name not resolved, connection reset or broken mid-body
    BadAddress,        // no address a request can be made for (empty, malformed, another scheme)
    TimedOut,          // connect, stall, low-speed or overall time-out
    OverCap,           // body or header block over its cap
    TooManyRedirects,  // a redirect chain over kMaxRedirects
    Cancelled,         // the stop token was set
};

struct FetchControl {
    std::stop_token stop{};               // whoever owns the thread asks for a stop; the fetch then ends
                                          // within kWatchInterval with an empty result
    int* statusCode = nullptr;            // receives the final response's HTTP status; 0 when none came
    HttpSession* session = nullptr;       // FetchPage: run on this session instead of the thread's own
    std::optional<FetchLimits> limits{};  // replaces the routine's own time-outs and caps
    TransferFailure* failure = nullptr;   // receives why the transfer ended early, None when it did not
};

// Prepares libcurl for the process. Call it once at start-up, before any thread that fetches is
// started; the fetchers call it too, which is harmless afterwards. Returns false when libcurl failed.
bool InitHttp();

}  // namespace tollenby
