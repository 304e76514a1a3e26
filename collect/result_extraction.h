// Hits of a search-result page and the detail page's fields, read with the site's patterns.
// Pure routines over texts; each matcher belongs to the calling thread.
#pragma once

#include <string_view>
#include <vector>

#include "collect/detail_matchers.h"
#include "match/regex_matcher.h"
#include "text/gbk_text.h"

namespace tollenby {

// One hit of a search page: columns 1 to 3 of its row.
struct ResultHit {
    Text title;  // cleaned
    Text url;    // as on the page, entities not decoded
    Text source;
};

// Title clean-up: quotes, <em> tags (any letter case) and ASCII question marks removed, then ASCII and
// full-width spaces trimmed from both ends.
Text CleanTitle(std::string_view rawTitle);

// Every title match of the page, in order, paired with the source match of the same number (empty
// when there are fewer sources). The two matchers are the search job's, searched afresh here.
// `complete`, when given, is set to false when a search could not finish (its time budget ran out):
// the hits of such a page cannot be trusted and none are given.
std::vector<ResultHit> ExtractHits(std::string_view page, RegexMatcher& titleMatcher,
                                   RegexMatcher& sourceMatcher, bool* complete = nullptr);

// Description clean-up: ASCII spaces trimmed, then runs of 40 spaces and the layout's leftover tags
// removed (letter case ignored). Line breaks stay.
Text CleanDescription(std::string_view captured);

// Columns 4 to 10 of a row as a detail page gives them.
struct DetailFields {
    bool deleted = false;  // the page says the entry is gone: every field is the deleted marker
    bool complete = true;  // false when a field search could not finish (time budget): no field holds
    Text description, industry, time, region, tags, accountId, qrImage;
};

// Reads every field of a detail page, each with its own matcher of the set. An empty page gives empty
// fields and "无" for the account ID.
DetailFields ReadDetailPage(std::string_view page, DetailMatchers& matchers);

// The QR image address: the piece between the expired-span comment and the tool comment, then the
// address of the first image inside it; empty when a marker is missing.
Text QrImageAddress(std::string_view page);

}  // namespace tollenby
