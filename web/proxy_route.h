// How the process's requests reach the network when a fetch names no proxy of its own.
//
// The window connects directly, whatever the environment says. The command line follows curl's
// convention instead (http_proxy, https_proxy, all_proxy and no_proxy from the environment), or sends
// every request through one proxy it was given. The route is set once at start-up, before any thread
// that fetches starts; a fetch that names its own proxy uses that one.
#pragma once

#include <string>

namespace tollenby {

struct ProxyRoute {
    enum class Kind {
        Direct,       // no proxy, also when the environment names one
        Environment,  // libcurl's reading of http_proxy, https_proxy, all_proxy and no_proxy
        Explicit,     // every request through `url`, no_proxy ignored
    };
    Kind kind = Kind::Direct;
    std::string url;  // for Explicit: scheme://[user:password@]host[:port]
};

void SetProcessProxyRoute(ProxyRoute route);
ProxyRoute ProcessProxyRoute();

}  // namespace tollenby
