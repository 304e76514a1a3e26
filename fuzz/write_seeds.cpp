// Writes the seed corpora of the fuzz targets into fuzz/corpus/<surface>/: pages of the demo site for
// the page readers and the regular expressions, and small hand-picked inputs for the other surfaces.
// Run by hand after the site's pages or the patterns change:  build/fuzz/write_fuzz_seeds fuzz/corpus
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "collect/page_patterns.h"
#include "demo/demo_content.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
namespace fs = std::filesystem;

constexpr std::string_view kBase = "http://127.0.0.1:8737";

void Write(const fs::path& folder, const std::string& name, std::string_view bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Inputs cut into pieces by zero bytes, after an options byte where the target takes one.
std::string Joined(std::initializer_list<std::string_view> pieces, int options = -1) {
    std::string out = options >= 0 ? std::string(1, static_cast<char>(options)) : std::string();
    bool first = true;
    for (std::string_view piece : pieces) {
        if (!first) out += '\0';
        out += piece;
        first = false;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    const fs::path root = argv[1];

    // Search pages of two keywords; detail pages of one keyword's first page, every shape of entry
    // among them (the deleted one, the bare one, the full ones).
    const std::string searchPage = demo::SearchPageHtml("深圳", "1", kBase);
    Write(root / "search_page", "demo_search_1", searchPage);
    Write(root / "search_page", "demo_search_2", demo::SearchPageHtml("book", "2", kBase));
    std::vector<std::string> details;
    for (const demo::DemoEntry& entry : demo::EntriesOnPage("seeds", 1, kBase)) {
        for (std::uint32_t id : {entry.id, entry.id + 1, entry.id + 2}) {
            if (auto page = demo::DetailPageHtml(id, kBase)) {
                Write(root / "detail_page", "demo_detail_" + std::to_string(id), *page);
                details.push_back(*page);
            }
        }
        if (details.size() >= 12) break;
    }

    // Each page pattern over the page it reads, with the default options (bits 0) and others.
    const Text searchText = Utf8ToLocal(searchPage);
    const Text detailText = details.empty() ? Text() : Utf8ToLocal(details.front());
    struct Seed {
        const char* name;
        std::string_view pattern;
        const Text& subject;
    };
    for (const Seed& s :
         {Seed{"title", kTitlePattern, searchText}, Seed{"source", kSourcePattern, searchText},
          Seed{"description", kDescriptionPattern, detailText},
          Seed{"industry", kIndustryPattern, detailText}, Seed{"time", kTimePattern, detailText},
          Seed{"region", kRegionPattern, detailText}, Seed{"tags", kTagsPattern, detailText},
          Seed{"account", kAccountIdPattern, detailText}}) {
        Write(root / "regex_matcher", std::string("page_") + s.name, Joined({s.pattern, s.subject}, 0));
    }
    const Text cjk = Utf8ToLocal("中文\r\n　群 ab\r\nAB\n");
    Write(root / "regex_matcher", "anchors", Joined({"^(.*?)$", cjk}, 0));
    Write(root / "regex_matcher", "classes", Joined({"[^\\s\\S]|[\\d\\w]+?|\\b(a|b)\\1", cjk}, 1));
    Write(root / "regex_matcher", "any_lazy", Joined({"<(.)>([\\s\\S]*?)</\\1>", "<b>x\r\ny</B>"}, 6));

    // Small inputs for the text primitives, addresses, headers, cookies and encodings.
    Write(root / "gbk_text", "trail_byte",
          Joined({"\xB0\x41\xB0\x41 a\xA1\xA1", "A", "#\xD2\xFD\xBA\xC5"}, 1));
    Write(root / "gbk_text", "markers", Joined({"a[b]c[d]  \xA1\xA1", "[", "]"}, 0));
    Write(root / "url_header", "address", Joined({"HTTP://Host:8080/A/b?x=1", "Referer: http://a/b", "a=1"}));
    Write(root / "url_header", "no_scheme", Joined({"Sub.Host/x", "Accept:  a  b  \r\nX", ""}));
    Write(root / "cookies", "merge",
          Joined({"HTTP/1.1 200 OK\r\nset-cookie: b=20; path=/\r\nSet-Cookie: d=4\r\n"
                  "SET-COOKIE: c=deleted; expires=x\r\n\r\n",
                  "a=1; b=2; c=3; a b=c d"}));
    Write(root / "encodings", "utf8_mix",
          "\xE4\xB8\xAD\xE6\x96\x87 a-b_c.d~e/f\xF0\x9F\x98\x80\xC0\xAF\xED\xA0\x80");
    Write(root / "encodings", "gbk_text",
          std::string_view("\xD6\xD0\xCE\xC4\x80\xA1\xA1\xB0\x41\xFF\0b", 12));
    Write(root / "xls_writer", "cells",
          Joined({"1", "\xC8\xBA", "http://a/b", "", "\xA1\xA1 x ", "00123"}, 0));
    Write(root / "xls_writer", "long_cell",
          Joined({"\xD6\xD0\xCE\xC4x", "", "", "", "", "", "", "", "", "", "", "z"}, 0x81));
    // Keyword files: each byte-order mark, UTF-8 and GBK without one, a zero byte, every line end.
    using namespace std::literals;
    Write(root / "keyword_text", "utf8_mark", "\xEF\xBB\xBF\xE6\xB7\xB1\xE5\x9C\xB3\r\nbook\rx\n"sv);
    Write(root / "keyword_text", "utf16le_mark", "\xFF\xFE\x31\x6DQ\x57\r\0\n\0a\0\r\0"sv);
    Write(root / "keyword_text", "utf16be_mark", "\xFE\xFF\x6D\x31\0\n\xD8\x3D\xDE\x00"sv);
    Write(root / "keyword_text", "gbk", "\xC9\xEE\xDB\xDA\r\n\xB1\xB1\xBE\xA9\n\r\xFF"sv);
    Write(root / "keyword_text", "zero_byte", "ab\r\ncd\0ef\r"sv);
    return 0;
}
