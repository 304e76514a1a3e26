#include "demo/demo_content.h"

#include "demo/entry_shape.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace tollenby::demo {
namespace {

// Decodes one UTF-8 code point at `pos`; invalid bytes come back as U+FFFD, one byte each.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return 0xFFFD;
    }
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    pos += length;
    return cp;
}

int HitsOnPage(std::string_view keyword, int page) {
    return 4 + static_cast<int>(Fnv1a(std::to_string(page), Fnv1a(keyword)) % 3);
}

// Entry ids run on from a base per keyword; id % 12 picks the entry's shape, so every keyword (at least
// twelve hits) shows every shape once.
std::uint32_t BaseId(std::string_view keyword) {
    std::uint32_t h = Fnv1a(keyword);
    return 1200 + (h % 70000) * 12 + (h >> 20) % 12;
}

struct TitleTemplate {
    std::string_view before, after;  // raw title: before + K + after
    std::string_view cleanBefore, cleanAfter;
};

// Raw anchor texts and what the title clean-up leaves of them ("K" stands for the keyword).
constexpr std::array<TitleTemplate, 6> kTitles{{
    {"<em>", "</em>爱好者交流群", "", "爱好者交流群"},
    {"\u3000<EM>", "</EM>同城交友\u3000", "", "同城交友"},
    {"\"", "\"资源分享 第2群?", "", "资源分享 第2群"},
    {"", "学习营\u3000第3期？", "", "学习营\u3000第3期？"},
    {"\U0001F340<em>", "</em>每日推荐\U0001F340", "", "每日推荐"},
    {"", "小助手 <em>官方</em>", "", "小助手 官方"},
}};

constexpr std::array<std::string_view, 8> kRegions{"北京", "上海", "广东 深圳", "浙江 杭州",
                                                   "成都", "广州", "江苏 南京", "北京"};
constexpr std::array<std::string_view, 6> kIndustries{"美食", "教育培训", "旅游", "IT互联网", "母婴", "游戏"};
constexpr std::array<std::string_view, 5> kTags{"交友", "学习", "资源分享", "本地生活", "兴趣"};
constexpr std::array<std::string_view, 7> kPhrases{
    "每天分享实用干货，欢迎加入。", "群内禁止广告，违者移出。", "定期组织线下活动，同城优先。",
    "有问题可以直接私聊群主。",     "资料免费领取，先到先得！", "新人请先看群公告 \"入群须知\"。",
    "感谢大家的支持与陪伴。",
};

EntryKind KindOf(std::uint32_t id) {
    switch (id % 12) {
        case 1:
        case 4:
        case 7:
        case 10:
            return EntryKind::Personal;
        case 2:
        case 5:
        case 9:
            return EntryKind::Official;
        default:
            return EntryKind::Group;
    }
}

bool IsDeleted(std::uint32_t id) {
    return id % 12 == 2 || id % 12 == 8;
}

bool HasEmptyAccountId(std::uint32_t id) {
    return id % 12 == 7;
}

bool HasNumericAccountId(std::uint32_t id) {
    return id % 12 == 1 || id % 12 == 9;
}

int DescriptionLines(std::uint32_t id) {
    return 1 + static_cast<int>(id % 3);
}

std::string AccountIdOf(std::uint32_t id) {
    if (HasEmptyAccountId(id)) return "";
    if (HasNumericAccountId(id)) return std::to_string(3000000000ull + (id * 7919ull) % 999999999ull);
    return "tollenby_" + std::to_string(id);
}

std::string DetailUrl(std::string_view baseUrl, std::uint32_t id) {
    return std::string(baseUrl) + "/detail/" + std::to_string(id) + ".html";
}

std::optional<int> ParsePage(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::uint32_t Fnv1a(std::string_view text, std::uint32_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

// The keyword as the site prints it inside titles: ASCII letters and digits and common CJK ideographs
// only, so that the program's title clean-up and the GBK conversion leave it exactly as printed.
std::string DisplayKeyword(std::string_view keyword) {
    std::string shown;
    for (std::size_t pos = 0; pos < keyword.size();) {
        std::size_t start = pos;
        char32_t cp = NextCodePoint(keyword, pos);
        bool ascii = (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
        if (ascii || (cp >= 0x4E00 && cp <= 0x9FA5)) shown.append(keyword.substr(start, pos - start));
    }
    return shown.empty() ? std::string("推荐") : shown;
}

bool IsBarePage(std::uint32_t id) {
    return id % 12 == 5;
}

bool HasQrComment(std::uint32_t id) {
    return id % 12 != 4;
}

bool HasAccountBlock(std::uint32_t id) {
    return id % 12 != 3;
}

bool IsQrMissing(std::uint32_t id) {
    return id % 12 == 6;
}

bool DescriptionHasLeadingSpaces(std::uint32_t id) {
    return id % 12 == 9;
}

std::vector<std::string> DescriptionLinesOf(std::uint32_t id) {
    std::vector<std::string> lines;
    for (int i = 0; i < DescriptionLines(id); ++i)
        lines.emplace_back(kPhrases[(id / 3 + i) % kPhrases.size()]);
    return lines;
}

std::string TimeOf(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "2024-%02u-%02u", 1 + (id / 5) % 12, 1 + (id / 7) % 28);
    return text;
}

std::string QrUrl(std::string_view baseUrl, std::uint32_t id) {
    return std::string(baseUrl) + "/qr/" + std::to_string(id) + ".gif";
}

std::string_view KindSource(EntryKind kind) {
    switch (kind) {
        case EntryKind::Group:
            return "微信群";
        case EntryKind::Personal:
            return "个人微信";
        case EntryKind::Official:
            return "公众号";
    }
    return "";
}

int PageCount(std::string_view keyword) {
    return keyword.empty() ? 0 : 3 + static_cast<int>(Fnv1a(keyword) % 2);
}

DemoEntry DetailOf(std::uint32_t id, std::string_view baseUrl) {
    DemoEntry entry;
    entry.id = id;
    entry.kind = KindOf(id);
    entry.qrImageMissing = IsQrMissing(id);
    if (IsDeleted(id)) {
        entry.deleted = true;
        for (std::string* cell : {&entry.description, &entry.industry, &entry.time, &entry.region,
                                  &entry.tags, &entry.accountId, &entry.qrImage})
            *cell = "文章已经删除";
        return entry;
    }
    if (IsBarePage(id)) {
        entry.accountId = "无";
        return entry;
    }
    // What the description capture keeps: the lines with their breaks, the indentation gone.
    for (const std::string& line : DescriptionLinesOf(id)) entry.description += line + "\n";
    entry.industry = kIndustries[(id / 3) % kIndustries.size()];
    entry.time = TimeOf(id);
    entry.region = kRegions[(id / 12 + id) % kRegions.size()];
    entry.tags = kTags[(id / 2) % kTags.size()];
    entry.accountId = HasAccountBlock(id) ? AccountIdOf(id) : "";
    if (entry.accountId.empty()) entry.accountId = "无";
    if (HasQrComment(id)) entry.qrImage = QrUrl(baseUrl, id);
    return entry;
}

std::vector<std::string> KeywordsFillingFirstPages(std::size_t rows) {
    // A page holds 4 to 6 hits, so a rest of 1, 2, 3 or 7 could never be filled and is avoided.
    std::vector<std::string> keywords;
    std::size_t left = rows;
    for (int i = 0; left > 0; ++i) {
        std::string keyword = "bench" + std::to_string(i);
        std::size_t hits = EntriesOnPage(keyword, 1, "").size();
        if (hits > left) continue;
        std::size_t rest = left - hits;
        if (rest == 1 || rest == 2 || rest == 3 || rest == 7) continue;
        keywords.push_back(std::move(keyword));
        left = rest;
    }
    return keywords;
}

std::vector<DemoEntry> EntriesOnPage(std::string_view keyword, int page, std::string_view baseUrl) {
    std::vector<DemoEntry> entries;
    int pages = PageCount(keyword);
    if (page < 1 || page > pages) return entries;
    std::uint32_t ordinal = 0;
    for (int p = 1; p < page; ++p) ordinal += static_cast<std::uint32_t>(HitsOnPage(keyword, p));
    std::string shown = DisplayKeyword(keyword);
    int hits = HitsOnPage(keyword, page);
    for (int k = 0; k < hits; ++k) {
        std::uint32_t id = BaseId(keyword) + ordinal + static_cast<std::uint32_t>(k);
        DemoEntry entry = DetailOf(id, baseUrl);
        const TitleTemplate& t = kTitles[(id + id / 12) % kTitles.size()];
        entry.rawTitle = std::string(t.before) + shown + std::string(t.after);
        entry.title = std::string(t.cleanBefore) + shown + std::string(t.cleanAfter);
        entry.url = DetailUrl(baseUrl, id);
        // The last hit of every second page comes without its source line.
        bool sourceless = page % 2 == 0 && k == hits - 1;
        entry.source = sourceless ? "" : std::string(KindSource(entry.kind));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<DemoEntry> EntriesOnPage(std::string_view keyword, std::string_view page,
                                     std::string_view baseUrl) {
    std::optional<int> number = ParsePage(page);
    if (!number) return {};
    return EntriesOnPage(keyword, *number, baseUrl);
}

}  // namespace tollenby::demo
