// The two fetches of a collection run: transient failures retried by the run's policy, each abandoned
// at once when its token is set.
#pragma once

#include "collect/run_context.h"
#include "text/gbk_text.h"
#include "web/fetch_outcome.h"

namespace tollenby {

// A search-result page, over the request-object fetcher; a GET with its defaults.
FetchOutcome FetchSearchPage(const Text& address, const RunFetchSettings& settings, std::stop_token cancel);

// A detail page, over FetchPage; a GET with its defaults, each attempt under the detail-page limits.
FetchOutcome FetchDetailPage(const Text& address, const RunFetchSettings& settings, std::stop_token cancel);

}  // namespace tollenby
