// The quote marker: written inside a marker or a pattern for one double quote, so texts that hold quotes
// need no escaping. Both the marker cut (TextBetween) and the regular-expression object read it.
#pragma once

#include <string_view>

namespace tollenby {

// "#引号" in GBK.
inline constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

}  // namespace tollenby
