// The regular expressions that read the directory site's pages, as GBK texts for RegexMatcher.
//
// They follow the site's markup to the byte: CR LF on search pages, LF on detail pages, and the
// indentation runs of the detail page template. The Chinese labels are GBK escapes; each note gives
// them in readable form. Every pattern is searched with RegexMatcher's default options.
#pragma once

#include <string_view>

namespace tollenby {

// Search page, one match per hit: group 1 the detail page address, group 2 the title, which stands
// alone on the line after the opening tag.
inline constexpr std::string_view kTitlePattern =
    "<a rpos=\"\" cpos=\"title\" href=\"(.*?)\" target=\"_blank\">\r\n(.*?)\r\n.*?</a>\r";

// Search page, paired with the title matches by number: group 1 the source. "<span>来自：(.*?)</span>"
inline constexpr std::string_view kSourcePattern = "<span>\xC0\xB4\xD7\xD4\xA3\xBA(.*?)</span>";

// Detail page fields, each group 1 of match 1.
//
// Description: the lines between the opening span and the icon line; empty when both share a line.
inline constexpr std::string_view kDescriptionPattern =
    "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">"
    ".*?([\\s\\S]*?).*?"
    "<i class=\"wxqicon_1 weixinqunICON\">\n";

// Industry: the line after the category link (44 spaces before the group, 40 before </a>).
inline constexpr std::string_view kIndustryPattern =
    "/.*?&amp;t=.*?\">\n"
    "                                            (.*?)\n"
    "                                        </a>";

// Time: the line after "时间：" (44 spaces before the group, 36 before </li>).
inline constexpr std::string_view kTimePattern =
    "\xCA\xB1\xBC\xE4\xA3\xBA\n"
    "                                            (.*?)\n"
    "                                    </li>\n";

// Region: the line after the area link under "地区：" (runs of 40, 44 and 40 spaces).
inline constexpr std::string_view kRegionPattern =
    "\xB5\xD8\xC7\xF8\xA3\xBA\n"
    "                                        <a href=\".*?&amp;m=.*?\">\n"
    "                                            (.*?)\n"
    "                                        </a>\n";

// Tags: the first tag link under "标签：" (runs of 40, 40, 40, 44 and 40 spaces).
inline constexpr std::string_view kTagsPattern =
    "\xB1\xEA\xC7\xA9\xA3\xBA\n"
    "                                        \n"
    "                                        \n"
    "                                        <a href=\"\">\n"
    "                                            (.*?)\n"
    "                                        </a>";

// WeChat ID: the line under "微信号：" (runs of 40, 40, 43, 40, 36 and 32 spaces).
inline constexpr std::string_view kAccountIdPattern =
    "\xCE\xA2\xD0\xC5\xBA\xC5\xA3\xBA\n"
    "                                        </span>\n"
    "                                        "
    "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n"
    "                                           (.*?)\n"
    "                                        </span>\n"
    "                                    \n"
    "                                </li>";

}  // namespace tollenby
