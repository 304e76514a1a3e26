// The demo site's HTML: the index, the search result pages and the detail pages.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "demo/demo_content.h"
#include "demo/entry_shape.h"

namespace tollenby::demo {
namespace {

std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
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

}  // namespace

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
