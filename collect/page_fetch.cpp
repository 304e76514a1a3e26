#include "collect/page_fetch.h"

#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {

ByteString FetchSearchPage(const Text& address, std::stop_token cancel) {
    FetchControl control;
    control.stop = cancel;
    return FetchPageByRequestObject(address, 0, {}, nullptr, nullptr, nullptr, nullptr, nullptr, false, {},
                                    {}, 0, {}, {}, 1, nullptr, control);
}

ByteString FetchDetailPage(const Text& address, std::stop_token cancel) {
    FetchControl control;
    control.stop = cancel;
    return FetchPage(address, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {}, control);
}

}  // namespace tollenby
