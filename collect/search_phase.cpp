#include "collect/search_phase.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "collect/collect_texts.h"
#include "text/encoding.h"

#ifndef TOLLENBY_SEARCH_HOST_DEFAULT
#error \
    "TOLLENBY_SEARCH_HOST_DEFAULT comes from the TOLLENBY_SEARCH_HOST cache variable (collect/CMakeLists.txt)"
#endif

namespace tollenby {

TextArray SplitKeywords(std::string_view keywordText) {
    TextArray keywords = TextSplit(keywordText, "\r\n");
    if (!keywords.empty() && keywords.back().empty()) keywords.pop_back();
    return keywords;
}

int LeadingInteger(std::string_view text) {
    std::size_t pos = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min(kLimit, value * 10 + (text[pos] - '0'));
    value = negative ? -value : std::min(value, kLimit - 1);
    return static_cast<int>(value);
}

std::string_view TimeFilterTail(TimeFilter filter) {
    switch (filter) {
        case TimeFilter::OneMonth:
            return "&s=1626844590849882386&sti=43200&nsid=0";
        case TimeFilter::OneWeek:
            return "&s=1626844590849882386&sti=10080&nsid=0";
        case TimeFilter::OneDay:
            return "&s=1626844590849882386&sti=1440&nsid=0&entry=1";
        case TimeFilter::AllTime:
            break;
    }
    return "&s=1626844590849882386&nsid=0";
}

Text SearchAddress(std::string_view host, std::string_view keyword, int page, TimeFilter filter) {
    Text address = "http://";
    address += host;
    address += "/cse/search?q=";
    address += UrlEncode(keyword, true, true);
    address += "&p=";
    address += std::to_string(page);
    address += TimeFilterTail(filter);
    return address;
}

Text SearchingStatusText(std::string_view keyword, std::size_t keywordNo, std::size_t keywordCount,
                         int page) {
    Text text(kSearchingKeywordText);
    text += keyword;
    text += std::to_string(keywordNo) + "/" + std::to_string(keywordCount);
    text += kPageNumberBefore;
    text += std::to_string(page);
    text += kPageNumberAfter;
    return text;
}

Text RunCompleteStatusText(std::size_t rowCount, std::size_t rowsFailed, std::size_t searchPagesFailed) {
    Text text(kRunCompleteBefore);
    text += std::to_string(rowCount);
    text += kRunCompleteAfter;
    if (rowsFailed > 0) {
        text += kRowsFailedBefore;
        text += std::to_string(rowsFailed);
        text += kRunCompleteAfter;
    }
    if (searchPagesFailed > 0) {
        text += kSearchPagesFailedBefore;
        text += std::to_string(searchPagesFailed);
        text += kPagesAfter;
    }
    return text;
}

Text RunStoppedStatusText(std::size_t rowCount) {
    Text text(kRunStoppedBefore);
    text += std::to_string(rowCount);
    text += kRunCompleteAfter;
    return text;
}

std::string_view BuiltInSearchHost() {
    return TOLLENBY_SEARCH_HOST_DEFAULT;
}

Text SearchHost() {
    const char* host = std::getenv("TOLLENBY_SEARCH_HOST");
    if (host && *host) return host;
    return Text(BuiltInSearchHost());
}

}  // namespace tollenby
