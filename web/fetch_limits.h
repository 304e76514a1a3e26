// Time-outs and caps of both page fetchers, in one place.
#pragma once

#include <chrono>
#include <cstddef>

namespace tollenby {

using std::chrono::milliseconds;

// What one transfer may cost before it is abandoned (the result is then empty). `connect` and `total`
// are libcurl's CURLOPT_CONNECTTIMEOUT_MS and CURLOPT_TIMEOUT_MS; `stall` is watched by our own transfer
// loop (libcurl's low-speed limit counts whole seconds and only body bytes), as is the cancel token.
struct FetchLimits {
    milliseconds connect;      // name resolution, TCP connect and TLS handshake together
    milliseconds stall;        // no byte sent or received for this long, once the request is under way
    milliseconds total;        // ceiling for the whole transfer, redirects included
    std::size_t maxBodyBytes;  // a larger body fails the transfer
    // A transfer slower than this many bytes a second for lowSpeedTime on end is abandoned as timed
    // out (libcurl's CURLOPT_LOW_SPEED_LIMIT / _TIME), so a server that drips cannot hold a worker.
    long lowSpeedBytesPerSecond = 1024;
    std::chrono::seconds lowSpeedTime{30};
};

// FetchPage: a dead host costs at most 15 s, a silent server 30 s; nothing runs past 5 minutes.
inline constexpr milliseconds kConnectTimeout{15'000};
inline constexpr milliseconds kStallTimeout{30'000};
inline constexpr milliseconds kTransferCeiling{300'000};

// Pages and QR images are small; the cap only keeps a hostile server from exhausting memory.
inline constexpr std::size_t kMaxBodyBytes = 64u << 20;
// One response's header block; libcurl limits single lines, not the block.
inline constexpr std::size_t kMaxHeaderBytes = 1u << 20;
inline constexpr long kMaxRedirects = 10;

inline constexpr FetchLimits kFetchPageLimits{kConnectTimeout, kStallTimeout, kTransferCeiling,
                                              kMaxBodyBytes};

// One attempt at a detail page or a QR image never takes longer than this, however the server
// behaves: with two retries a page that never completes costs about 3 x 30 s plus the waits.
inline constexpr milliseconds kPerAttemptCeiling{120'000};
inline constexpr FetchLimits kDetailPageLimits{kConnectTimeout, kStallTimeout, kPerAttemptCeiling,
                                               kMaxBodyBytes};

// FetchPageByRequestObject: its timeoutSeconds below 1 means 15 s for every phase; -1 asks for the
// longest limits (60 s to connect, 30 s without a byte sent or received).
inline constexpr int kRequestObjectDefaultTimeoutSeconds = 15;
inline constexpr milliseconds kLongestConnectTimeout{60'000};
inline constexpr milliseconds kLongestStallTimeout{30'000};

// How often a waiting transfer looks at its cancel token and its stall clock.
inline constexpr milliseconds kWatchInterval{50};

}  // namespace tollenby
