#include "collect/detail_page_reader.h"

#include <string>

#include "collect/collect_texts.h"
#include "collect/page_patterns.h"
#include "text/encoding.h"
#include "text/gbk_round_trip.h"

namespace tollenby {
namespace {

// The patterns are fixed and valid, so a failed search ran out of its budget (or memory).
Text FirstGroup(RegexMatcher& matcher, std::string_view pattern, std::string_view utf8Page, bool& complete) {
    if (!matcher.SearchUtf8(pattern, utf8Page)) complete = false;
    return matcher.SubmatchText(1, 1);
}

// The QR image address cut from the UTF-8 form: the same markers, all ASCII, and a UTF-8 byte search
// only ever meets them on character boundaries.
std::string_view Between(std::string_view text, std::string_view left, std::string_view right) {
    std::size_t leftAt = text.find(left);
    if (leftAt == std::string_view::npos) return {};
    std::size_t inner = leftAt + left.size();
    std::size_t rightAt = text.find(right, inner);
    if (rightAt == std::string_view::npos) return {};
    return text.substr(inner, rightAt - inner);
}

Text QrImageAddressUtf8(std::string_view utf8Page) {
    std::string_view piece =
        Between(utf8Page, "<!--<span class=\"expired\" style=\"display: none;\"></span>-->",
                "<!--<div class=\"tool\">");
    return Utf8ToLocal(Between(piece, "<img src=\"", "\""));
}

DetailFields DeletedFields() {
    DetailFields fields;
    fields.deleted = true;
    for (Text* field : {&fields.description, &fields.industry, &fields.time, &fields.region, &fields.tags,
                        &fields.accountId, &fields.qrImage})
        *field = kDeletedMarker;
    return fields;
}

}  // namespace

void SearchDetailFields(std::string_view utf8Page, DetailMatchers& matchers, DetailFields& fields) {
    // Every field is searched, whatever the others found.
    bool& complete = fields.complete;
    fields.description =
        CleanDescription(FirstGroup(matchers.description, kDescriptionPattern, utf8Page, complete));
    fields.industry = FirstGroup(matchers.industry, kIndustryPattern, utf8Page, complete);
    fields.time = FirstGroup(matchers.time, kTimePattern, utf8Page, complete);
    fields.region = FirstGroup(matchers.region, kRegionPattern, utf8Page, complete);
    fields.tags = FirstGroup(matchers.tags, kTagsPattern, utf8Page, complete);
    fields.accountId = FirstGroup(matchers.accountId, kAccountIdPattern, utf8Page, complete);
    if (fields.accountId.empty()) fields.accountId = kNoAccountIdText;
}

DetailFields ReadDetailBody(std::string_view body, DetailMatchers& matchers) {
    bool singleHighByte = false;
    const std::string form = Utf8ThroughGbk(body, &singleHighByte);
    bool deleted = false;
    Text qrImage;
    if (singleHighByte) {
        // The GBK text routines read a lone byte of 0x80 or more (the euro sign) as the first byte of a
        // two-byte character; such a page takes the deleted test and the QR cut on its GBK text, so
        // they see it as they always did.
        const Text page = Utf8ToLocal(body);
        deleted = TextContains(page, kEntryGoneSign);
        if (!deleted) qrImage = QrImageAddress(page);
    } else {
        static const std::string goneSign = AnsiToUtf8(kEntryGoneSign);
        deleted = form.find(goneSign) != std::string::npos;
        if (!deleted) qrImage = QrImageAddressUtf8(form);
    }
    if (deleted) return DeletedFields();
    DetailFields fields;
    SearchDetailFields(form, matchers, fields);
    fields.qrImage = std::move(qrImage);
    return fields;
}

}  // namespace tollenby
