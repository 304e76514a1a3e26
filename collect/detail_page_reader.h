// Reading a fetched detail page: the page is converted once, and the six field patterns all search
// that one converted form.
#pragma once

#include <string_view>

#include "collect/detail_matchers.h"
#include "collect/result_extraction.h"

namespace tollenby {

// The fields of a detail page as it came off the wire (UTF-8 bytes). Gives exactly what
// ReadDetailPage(Utf8ToLocal(body)) gives, without a GBK copy of the page or a conversion per pattern.
DetailFields ReadDetailBody(std::string_view body, DetailMatchers& matchers);

// The six pattern fields (description cleaned, "无" for an empty account ID) of a page in the UTF-8
// form the matchers search: AnsiToUtf8 of the page text.
void SearchDetailFields(std::string_view utf8Page, DetailMatchers& matchers, DetailFields& fields);

}  // namespace tollenby
