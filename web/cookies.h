// Cookie texts: "name=value; name=value", the form in which both fetchers hand cookies to their callers.
#pragma once

#include <string_view>

#include "text/gbk_text.h"

namespace tollenby {

// The name=value parts of the block's Set-Cookie lines, in their order, joined by "; "; attributes are
// dropped and nothing is merged. The block should have been through NormalizeSetCookieCase first.
Text GatherNewCookies(std::string_view headerBlock);

// Folds `newCookies` into `cookies`: both lose their spaces (stored back), newer items replace older
// ones of the same name, items ending in "=deleted" drop out and exact repeats go. The result is stored
// into `cookies` and returned.
Text MergeCookies(Text& cookies, Text& newCookies);

// The text split at `separator`, each item kept at its first occurrence only, joined again.
Text DedupJoin(std::string_view text, std::string_view separator);

// The trimmed text before an item's first "=", or the whole trimmed item when it has none.
Text CookieName(std::string_view item);

// The header block with every "Set-Cookie" in any letter case written "Set-Cookie".
Text NormalizeSetCookieCase(std::string_view headerBlock);

}  // namespace tollenby
