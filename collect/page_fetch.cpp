#include "collect/page_fetch.h"

#include "web/fetch_retry.h"

namespace tollenby {

FetchOutcome FetchSearchPage(const Text& address, const RunFetchSettings& settings, std::stop_token cancel) {
    return FetchByRequestObjectRetrying(address, settings.retry, cancel, settings.searchLimits);
}

FetchOutcome FetchDetailPage(const Text& address, const RunFetchSettings& settings, std::stop_token cancel) {
    return FetchPageRetrying(address, settings.retry, cancel, settings.detailLimits);
}

}  // namespace tollenby
