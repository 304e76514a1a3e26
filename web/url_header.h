// Address, header-line and request-header helpers shared by both page fetchers and the detail worker.
//
// Positions count from 1. Letter case is folded for ASCII letters only; every search steps over GBK
// two-byte characters whole (text/gbk_text.h).
#pragma once

#include <string_view>

#include "text/gbk_text.h"
#include "text/quote_marker.h"

namespace tollenby {

// The agent both fetchers announce unless the caller's header text names another.
inline constexpr std::string_view kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The text between the first `left` at or after position `start` (below 1: the first byte) and the next
// `right` after it; empty when either is missing. Each quote marker in a marker stands for a double quote.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right, long start = 0,
                 bool ignoreCase = false);

// A header line split at its first colon, each side trimmed; empty when the line holds no colon.
Text HeaderName(std::string_view line);
Text HeaderValue(std::string_view line);

// The lower-cased host of a page address, with its ":port" only when keepPort. An address without a
// scheme counts as http.
Text UrlHost(std::string_view url, bool keepPort = false);

// The explicit port of the address, else 443 for an https address and 80 for any other.
int UrlPort(std::string_view url);

// The object path to request: from the first slash behind the host to the end, query and fragment
// included, in the address's own letter case; "/" when there is none.
Text UrlPath(std::string_view url);

// The header text FetchPage sends: the caller's lines plus Accept, Referer, Accept-Language and
// Content-Type where missing (keys matched with letter case as written), then a Cookie line when
// `cookies` is not empty. Lines are joined by CR LF.
Text ComposeFetchPageHeaders(std::string_view callerHeaders, std::string_view url, std::string_view cookies);

// The header text FetchPageByRequestObject sends: as above with a User-Agent line (default agent) between
// Accept-Language and Content-Type, and never a Cookie line.
Text ComposeRequestObjectHeaders(std::string_view callerHeaders, std::string_view url);

}  // namespace tollenby
