// Internal to web/: puts the process's proxy route on a prepared handle.
#pragma once

#include <curl/curl.h>

namespace tollenby {

void ApplyProcessProxyRoute(CURL* easy);

}  // namespace tollenby
