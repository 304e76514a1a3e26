#include "demo/demo_content.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace tollenby::demo {
namespace {

std::uint32_t Fnv1a(std::string_view text, std::uint32_t hash = 2166136261u) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

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
bool IsBarePage(std::uint32_t id) {
    return id % 12 == 5;
}
bool HasQrComment(std::uint32_t id) {
    return id % 12 != 4;
}
bool HasAccountBlock(std::uint32_t id) {
    return id % 12 != 3;
}
bool HasEmptyAccountId(std::uint32_t id) {
    return id % 12 == 7;
}
bool HasNumericAccountId(std::uint32_t id) {
    return id % 12 == 1 || id % 12 == 9;
}
bool IsQrMissing(std::uint32_t id) {
    return id % 12 == 6;
}
int DescriptionLines(std::uint32_t id) {
    return 1 + static_cast<int>(id % 3);
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

std::string AccountIdOf(std::uint32_t id) {
    if (HasEmptyAccountId(id)) return "";
    if (HasNumericAccountId(id)) return std::to_string(3000000000ull + (id * 7919ull) % 999999999ull);
    return "tollenby_" + std::to_string(id);
}

std::string TimeOf(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "2024-%02u-%02u", 1 + (id / 5) % 12, 1 + (id / 7) % 28);
    return text;
}

std::string DetailUrl(std::string_view baseUrl, std::uint32_t id) {
    return std::string(baseUrl) + "/detail/" + std::to_string(id) + ".html";
}

std::string QrUrl(std::string_view baseUrl, std::uint32_t id) {
    return std::string(baseUrl) + "/qr/" + std::to_string(id) + ".gif";
}

std::optional<int> ParsePage(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The detail layout, section by section. Indentation runs are part of the site's markup and the
// program's patterns rely on them.
void AppendDescription(std::string& html, std::uint32_t id) {
    std::vector<std::string> lines = DescriptionLinesOf(id);
    html += Spaces(32) + "<ul class=\"base-info\">\n";
    html += Spaces(36) + "<li><span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">";
    if (DescriptionHasLeadingSpaces(id)) html += "   ";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) html += "\n" + Spaces(40);
        html += lines[i];
    }
    html += "</span></li>\n";
    html += Spaces(40) + "<li style=\"width:185px;\"><i class=\"wxqicon_1 weixinqunICON\">\n";
    html += Spaces(40) + "</i></li>\n";
    html += Spaces(32) + "</ul>\n";
}

void AppendLinkField(std::string& html, std::string_view label, std::string_view query,
                     std::string_view value) {
    html += Spaces(36) + "<li>" + std::string(label) + "\n";
    html += Spaces(40) + "<a href=\"/cse/search?nsid=0&amp;" + std::string(query) + "\">\n";
    html += Spaces(44) + std::string(value) + "\n";
    html += Spaces(40) + "</a>\n";
    html += Spaces(36) + "</li>\n";
}

void AppendFields(std::string& html, const DemoEntry& entry) {
    html += Spaces(32) + "<ul class=\"other-info\">\n";
    AppendLinkField(html, "行业：", "t=" + std::to_string(entry.id % 6), entry.industry);
    html += Spaces(36) + "<li>时间：\n" + Spaces(44) + entry.time + "\n" + Spaces(36) + "</li>\n";
    AppendLinkField(html, "地区：", "m=" + std::to_string(entry.id % 8), entry.region);
    html += Spaces(36) + "<li>标签：\n" + Spaces(40) + "\n" + Spaces(40) + "\n" + Spaces(40) +
            "<a href=\"\">\n" + Spaces(44) + entry.tags + "\n" + Spaces(40) + "</a>\n" + Spaces(36) +
            "</li>\n";
    if (HasAccountBlock(entry.id)) {
        std::string id = entry.accountId == "无" ? "" : entry.accountId;
        html += Spaces(36) + "<li><span class=\"des_info_text1\">微信号：\n" + Spaces(40) + "</span>\n" +
                Spaces(40) + "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" +
                Spaces(43) + id + "\n" + Spaces(40) + "</span>\n" + Spaces(36) + "\n" + Spaces(32) +
                "</li>\n";
    }
    html += Spaces(32) + "</ul>\n";
}

void AppendQrBlock(std::string& html, std::uint32_t id, std::string_view baseUrl) {
    html += Spaces(32) + "<div class=\"qrcode\">\n";
    if (HasQrComment(id))
        html += Spaces(36) + "<!--<span class=\"expired\" style=\"display: none;\"></span>-->\n";
    html += Spaces(36) + "<img src=\"" + QrUrl(baseUrl, id) + "\" alt=\"二维码\" width=\"180\">\n";
    html += Spaces(36) + "<!--<div class=\"tool\">\n" + Spaces(40) + "<a href=\"#\">举报</a>\n" + Spaces(36) +
            "</div>-->\n";
    html += Spaces(32) + "</div>\n";
}

std::string PageHead(std::string_view title, std::string_view lineEnd) {
    std::string head = "<!DOCTYPE html>";
    for (std::string_view line : {std::string_view("<html lang=\"zh-CN\">"), std::string_view("<head>"),
                                  std::string_view("<meta charset=\"utf-8\">")})
        head += std::string(lineEnd) + std::string(line);
    head += std::string(lineEnd) + "<title>" + std::string(title) + "</title>";
    head += std::string(lineEnd) + "<link rel=\"icon\" href=\"/static/logo.gif\">";
    head += std::string(lineEnd) + "</head>" + std::string(lineEnd) + "<body>" + std::string(lineEnd);
    return head;
}

// GIF writing: a 4-colour palette and an LZW stream that sends a clear code before every pixel, so
// the code width never grows past 3 bits; plain to write and valid for every decoder.
class BitWriter {
  public:
    void Put(unsigned code, int width) {
        for (int i = 0; i < width; ++i) {
            if (bitCount_ % 8 == 0) bytes_.push_back(0);
            if (code & (1u << i)) bytes_.back() = static_cast<char>(bytes_.back() | (1 << (bitCount_ % 8)));
            ++bitCount_;
        }
    }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::size_t bitCount_ = 0;
};

void PutLe16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// A 21 x 21 module pattern with three finder squares, the rest from the id.
bool ModuleSet(std::uint32_t id, int x, int y) {
    auto finder = [](int fx, int fy) {
        int d = std::max(std::abs(fx - 3), std::abs(fy - 3));
        return d != 2 && d <= 3;
    };
    if (x < 7 && y < 7) return finder(x, y);
    if (x >= 14 && y < 7) return finder(x - 14, y);
    if (x < 7 && y >= 14) return finder(x, y - 14);
    if (x < 8 && y < 8) return false;
    // The low bit of an FNV hash follows only the parity of its input; take one from the middle.
    return ((Fnv1a(std::to_string(x * 32 + y), id * 2654435761u) >> 16) & 1) != 0;
}

}  // namespace

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

std::string SearchPageHtml(std::string_view keyword, std::string_view page, std::string_view baseUrl) {
    constexpr std::string_view crlf = "\r\n";
    std::string shown = keyword.empty() ? std::string() : DisplayKeyword(keyword);
    std::string html = PageHead(shown + " - 演示目录搜索", crlf);
    html += "<div id=\"results\">\r\n";
    std::vector<DemoEntry> entries = EntriesOnPage(keyword, page, baseUrl);
    if (entries.empty())
        html += "<p class=\"no-result\">没有找到与 <em>" + shown + "</em> 相关的结果。</p>\r\n";
    for (const DemoEntry& entry : entries) {
        html += "<div class=\"result c-container\">\r\n";
        html += "    <h3 class=\"c-title\">\r\n";
        html += "<a rpos=\"\" cpos=\"title\" href=\"" + entry.url + "\" target=\"_blank\">\r\n";
        html += entry.rawTitle + "\r\n";
        html += "        </a>\r\n";
        html += "    </h3>\r\n";
        html += "    <div class=\"c-abstract\">与 <em>" + shown + "</em> 有关的" +
                std::string(KindSource(entry.kind)) + "，编号 " + std::to_string(entry.id) + "。</div>\r\n";
        html += "    <div class=\"c-showurl\">";
        if (!entry.source.empty()) html += "<span>来自：" + entry.source + "</span> ";
        html += "<span class=\"c-date\">" + TimeOf(entry.id) + "</span></div>\r\n";
        html += "</div>\r\n";
    }
    html += "</div>\r\n<div class=\"pager\">\r\n";
    for (int p = 1; p <= PageCount(keyword); ++p)
        html += "    <a href=\"/cse/search?p=" + std::to_string(p) + "\">" + std::to_string(p) + "</a>\r\n";
    html += "</div>\r\n</body>\r\n</html>\r\n";
    return html;
}

std::optional<std::string> DetailPageHtml(std::uint32_t id, std::string_view baseUrl) {
    if (id == 0) return std::nullopt;
    DemoEntry entry = DetailOf(id, baseUrl);
    std::string name = std::string(KindSource(entry.kind)) + " " + std::to_string(id);
    std::string html = PageHead(name + " - 演示目录", "\n");
    if (IsBarePage(id)) {
        html += "<div class=\"notice\">页面改版中，请稍后再来。</div>\n<img src=\"" + std::string(baseUrl) +
                "/static/logo.gif\">\n</body>\n</html>\n";
        return html;
    }
    if (entry.deleted) {
        // The removed entry keeps its old layout below the notice; the notice decides.
        html += "<div class=\"notice\">该二维码已被发布者删除。<a href=\"/\">获得更多金币秘籍</a></div>\n";
        entry = DetailOf(id + 1, baseUrl);
        entry.id = id;
    }
    html += Spaces(28) + "<div class=\"des_info\">\n";
    html += Spaces(32) + "<h1>" + name + "</h1>\n";
    AppendDescription(html, id);
    AppendFields(html, entry);
    AppendQrBlock(html, id, baseUrl);
    html += Spaces(28) + "</div>\n</body>\n</html>\n";
    return html;
}

std::optional<std::string> QrImageGif(std::uint32_t id) {
    if (id == 0 || IsQrMissing(id)) return std::nullopt;
    constexpr int kModules = 21, kQuiet = 2, kScale = 3;
    constexpr int kSize = (kModules + 2 * kQuiet) * kScale;
    std::string gif = "GIF89a";
    PutLe16(gif, kSize);
    PutLe16(gif, kSize);
    gif += static_cast<char>(0x91);  // global palette of 4 colours, 2 bits of colour resolution
    gif += '\0';
    gif += '\0';
    gif += std::string("\xFF\xFF\xFF\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF", 12);
    gif += ',';
    PutLe16(gif, 0);
    PutLe16(gif, 0);
    PutLe16(gif, kSize);
    PutLe16(gif, kSize);
    gif += '\0';
    gif += '\x02';  // LZW minimum code size
    constexpr unsigned kClear = 4, kEnd = 5;
    BitWriter bits;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int mx = x / kScale - kQuiet, my = y / kScale - kQuiet;
            bool dark = mx >= 0 && my >= 0 && mx < kModules && my < kModules && ModuleSet(id, mx, my);
            bits.Put(kClear, 3);
            bits.Put(dark ? 1 : 0, 3);
        }
    }
    bits.Put(kEnd, 3);
    const std::string& data = bits.Bytes();
    for (std::size_t pos = 0; pos < data.size(); pos += 255) {
        std::size_t n = std::min<std::size_t>(255, data.size() - pos);
        gif += static_cast<char>(n);
        gif += data.substr(pos, n);
    }
    gif += '\0';
    gif += ';';
    return gif;
}

std::string IndexPageHtml() {
    std::string html = PageHead("Tollenby 演示目录", "\n");
    html +=
        "<h1>Tollenby 演示目录</h1>\n"
        "<p>一个本地的演示目录站点，内容全部由程序生成。</p>\n"
        "<form action=\"/cse/search\"><input name=\"q\"><input type=\"hidden\" name=\"p\" value=\"1\">"
        "<input type=\"hidden\" name=\"s\" value=\"1626844590849882386\"><input type=\"hidden\" "
        "name=\"nsid\" "
        "value=\"0\"><button>搜索</button></form>\n</body>\n</html>\n";
    return html;
}

}  // namespace tollenby::demo
