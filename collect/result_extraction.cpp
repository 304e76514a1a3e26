#include "collect/result_extraction.h"

#include "collect/collect_texts.h"
#include "collect/detail_page_reader.h"
#include "collect/page_patterns.h"
#include "text/encoding.h"
#include "web/url_header.h"

namespace tollenby {

Text CleanTitle(std::string_view rawTitle) {
    // "</em>" goes before "em>" so a closing tag leaves no "</" behind.
    Text title = ReplacePairs(rawTitle, {{"\"", ""}, {"<em>", ""}, {"</em>", ""}, {"?", ""}, {"em>", ""}});
    return TextTrim(title);
}

std::vector<ResultHit> ExtractHits(std::string_view page, RegexMatcher& titleMatcher,
                                   RegexMatcher& sourceMatcher, bool* complete) {
    // The patterns are fixed and valid, so a failed search ran out of its budget (or memory).
    bool finished = titleMatcher.Search(kTitlePattern, page);
    finished = sourceMatcher.Search(kSourcePattern, page) && finished;
    if (complete != nullptr) *complete = finished;
    std::vector<ResultHit> hits;
    if (!finished) return hits;
    int count = titleMatcher.MatchCount();
    hits.reserve(static_cast<std::size_t>(count));
    for (int k = 1; k <= count; ++k) {
        hits.push_back({CleanTitle(titleMatcher.SubmatchText(k, 2)), titleMatcher.SubmatchText(k, 1),
                        sourceMatcher.SubmatchText(k, 1)});
    }
    return hits;
}

Text CleanDescription(std::string_view captured) {
    return ReplacePairs(TrimAsciiSpaces(captured), {{"                                        ", ""},
                                                    {"</span>", ""},
                                                    {"</li>", ""},
                                                    {"<ul class=\"other-info\">", ""},
                                                    {"<li style=\"width:185px;\">", ""}});
}

Text QrImageAddress(std::string_view page) {
    Text piece = TextBetween(page, "<!--<span class=\"expired\" style=\"display: none;\"></span>-->",
                             "<!--<div class=\"tool\">");
    return TextBetween(piece, "<img src=\"", "\"");
}

DetailFields ReadDetailPage(std::string_view page, DetailMatchers& matchers) {
    DetailFields fields;
    if (TextContains(page, kEntryGoneSign)) {
        fields.deleted = true;
        for (Text* field : {&fields.description, &fields.industry, &fields.time, &fields.region, &fields.tags,
                            &fields.accountId, &fields.qrImage})
            *field = kDeletedMarker;
        return fields;
    }
    SearchDetailFields(AnsiToUtf8(page), matchers, fields);
    fields.qrImage = QrImageAddress(page);
    return fields;
}

}  // namespace tollenby
