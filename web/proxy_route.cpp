#include "web/proxy_route.h"

#include <mutex>
#include <utility>

#include "web/proxy_route_apply.h"

namespace tollenby {
namespace {

// The one process-wide route, with its lock: set at start-up, read by every fetch.
struct RouteHolder {
    std::mutex lock;
    ProxyRoute route;
};

RouteHolder& Holder() {
    static RouteHolder holder;
    return holder;
}

}  // namespace

void SetProcessProxyRoute(ProxyRoute route) {
    std::lock_guard guard(Holder().lock);
    Holder().route = std::move(route);
}

ProxyRoute ProcessProxyRoute() {
    std::lock_guard guard(Holder().lock);
    return Holder().route;
}

void ApplyProcessProxyRoute(CURL* easy) {
    const ProxyRoute route = ProcessProxyRoute();
    switch (route.kind) {
        case ProxyRoute::Kind::Direct:
            // An empty proxy text means "no proxy", also when http_proxy is set in the environment.
            curl_easy_setopt(easy, CURLOPT_PROXY, "");
            break;
        case ProxyRoute::Kind::Environment:
            // Left unset, libcurl reads the proxy variables (and no_proxy) itself.
            break;
        case ProxyRoute::Kind::Explicit:
            curl_easy_setopt(easy, CURLOPT_PROXY, route.url.c_str());
            curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
            break;
    }
}

}  // namespace tollenby
