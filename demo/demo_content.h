// The demo directory site's content: search pages, detail pages and QR images, all made up and all
// derived deterministically from the keyword, the page number and the entry number, so tests can ask what
// a page holds and what the program should make of it.
//
// Pages are UTF-8. Every expected text here is UTF-8 too (tests compare with AnsiToUtf8 of the cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tollenby::demo {

enum class EntryKind { Group, Personal, Official };

// One hit of a search page, with what the program should show for it once collected.
struct DemoEntry {
    std::uint32_t id = 0;
    EntryKind kind = EntryKind::Group;
    std::string rawTitle;  // the anchor text as the search page carries it
    // Columns 1 to 3 as the search phase lists them.
    std::string title;
    std::string url;
    std::string source;  // empty when the search page carries no source for this hit
    // Columns 4 to 10 as the detail phase fills them.
    bool deleted = false;
    std::string description;
    std::string industry;
    std::string time;
    std::string region;
    std::string tags;
    std::string accountId;
    std::string qrImage;
    bool qrImageMissing = false;  // the image address answers 404
};

// The site's text for each kind, which the search page shows as the hit's source.
std::string_view KindSource(EntryKind kind);

// Number of result pages the site holds for a keyword (0 for the empty keyword).
int PageCount(std::string_view keyword);

// The hits of one search page, in page order; empty for a page number out of range. `baseUrl` is the
// site's own address ("http://127.0.0.1:8737"), which prefixes every link on the page.
std::vector<DemoEntry> EntriesOnPage(std::string_view keyword, int page, std::string_view baseUrl);

// The same, for a page number as it arrives in the query (any text; non-numbers hold no hits).
std::vector<DemoEntry> EntriesOnPage(std::string_view keyword, std::string_view page,
                                     std::string_view baseUrl);

// Keywords ("bench0", "bench1", ...) whose first result pages hold exactly `rows` hits together, for
// runs of a chosen size.
std::vector<std::string> KeywordsFillingFirstPages(std::size_t rows);

// Page bodies.
std::string SearchPageHtml(std::string_view keyword, std::string_view page, std::string_view baseUrl);
// nullopt for an id the site never hands out.
std::optional<std::string> DetailPageHtml(std::uint32_t id, std::string_view baseUrl);
// A small GIF, different for every id; nullopt when the entry's image is missing.
std::optional<std::string> QrImageGif(std::uint32_t id);
std::string IndexPageHtml();

// The detail fields of an entry, without the search-page columns (title, url, source stay empty).
DemoEntry DetailOf(std::uint32_t id, std::string_view baseUrl);

}  // namespace tollenby::demo
