// The small RAII layer over libcurl that both fetchers run on. Internal to web/: callers use
// web/fetch_control.h.
#pragma once

#include <curl/curl.h>
#include <stop_token>

#include <memory>
#include <string_view>

#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

// A header list for CURLOPT_HTTPHEADER; it must outlive the transfer that uses it.
class CurlHeaderList {
  public:
    void Append(const std::string& line);
    curl_slist* get() const { return list_.get(); }

  private:
    std::unique_ptr<curl_slist, CurlSlistDeleter> list_;
};

// What came back from one transfer. A failed, cancelled or over-cap transfer leaves body, header
// block and status empty and says why in `failure`.
struct TransferResult {
    bool ok = false;
    TransferFailure failure = TransferFailure::None;
    ByteString body;
    Text headerBlock;  // the final response's header lines as received, status line first
    int status = 0;
};

struct HttpSession::Impl {
    CurlMulti multi;
    CurlEasy easy;

    // The easy handle with every option back at its default (connections and caches are kept) and our
    // fixed options set: no signals, no cookies, http and https only.
    CURL* Prepare();
    // Runs the prepared transfer on this thread under `limits`, watching `cancel`.
    TransferResult Perform(const FetchLimits& limits, std::stop_token cancel);
};

// The process-wide cookie jar that stands in for the platform's cookie store. Handles attached to it
// read and store cookies under its locks; it lives until the process ends.
CURLSH* SharedCookieJar();

// The address in the form libcurl accepts: bytes that cannot stand in a request line (controls, space,
// 0x7F and above) percent-encoded, everything else unchanged.
std::string WireUrl(std::string_view url);

}  // namespace tollenby
