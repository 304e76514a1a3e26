// The search phase's plain pieces: the keyword list, the page count, the search address and the
// status text. Pure functions, safe on any thread.
#pragma once

#include <string_view>

#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

// The keyword box split at every CR LF, on whole characters. Empty lines stay as empty keywords; a
// last piece after the final CR LF counts only when it is not empty. Keywords are not trimmed.
TextArray SplitKeywords(std::string_view keywordText);

// The decimal number at the start of a box's text, after leading white space, with an optional sign;
// 0 when there is none. Out-of-range numbers saturate.
int LeadingInteger(std::string_view text);

// The query tail that follows the page number for each time filter.
std::string_view TimeFilterTail(TimeFilter filter);

// "http://" + host + "/cse/search?q=" + the keyword percent-encoded from UTF-8 + "&p=" + page + tail.
Text SearchAddress(std::string_view host, std::string_view keyword, int page, TimeFilter filter);

// The status text before each search page: keyword, its number and the count of keywords, the page.
Text SearchingStatusText(std::string_view keyword, std::size_t keywordNo, std::size_t keywordCount, int page);

// The status text at the end of a run: "采集完成！共计采集结果：N条", then "，失败：M条" when rows of the
// run failed and "，搜索页失败：K页" when search pages failed.
Text RunCompleteStatusText(std::size_t rowCount, std::size_t rowsFailed = 0,
                           std::size_t searchPagesFailed = 0);

// The status text after Stop: "采集已停止！共计采集结果：N条".
Text RunStoppedStatusText(std::size_t rowCount);

// The directory site's host (host or host:port): the environment variable TOLLENBY_SEARCH_HOST when it
// is set and not empty, else the default built in at configure time.
Text SearchHost();
std::string_view BuiltInSearchHost();

}  // namespace tollenby
