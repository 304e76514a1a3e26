// The two fetches of a collection run, each abandoned at once when its token is set.
#pragma once

#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

// A search-result page, over the request-object fetcher; a GET with its defaults.
ByteString FetchSearchPage(const Text& address, std::stop_token cancel);

// A detail page, over FetchPage; a GET with its defaults.
ByteString FetchDetailPage(const Text& address, std::stop_token cancel);

}  // namespace tollenby
