// The download window's own texts, GBK bytes. The UTF-8 form of each stands in its comment.
#pragma once

#include <string_view>

namespace tollenby {

// "共计：" and "个有效二维码链接", around the number of chosen addresses.
inline constexpr std::string_view kUrlCountBefore = "\xB9\xB2\xBC\xC6\xA3\xBA";
inline constexpr std::string_view kUrlCountAfter =
    "\xB8\xF6\xD3\xD0\xD0\xA7\xB6\xFE\xCE\xAC\xC2\xEB\xC1\xB4\xBD\xD3";

// "正在下载第" and "个二维码图片", around the number of the image being fetched.
inline constexpr std::string_view kDownloadingBefore = "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8\xB5\xDA";
inline constexpr std::string_view kDownloadingAfter = "\xB8\xF6\xB6\xFE\xCE\xAC\xC2\xEB\xCD\xBC\xC6\xAC";

// "下载完成！共计下载:" and "个" around the images written, then "，失败:" and "个" around the
// images that failed, when any did.
inline constexpr std::string_view kDownloadDoneBefore =
    "\xCF\xC2\xD4\xD8\xCD\xEA\xB3\xC9\xA3\xA1\xB9\xB2\xBC\xC6\xCF\xC2\xD4\xD8:";
inline constexpr std::string_view kCountUnit = "\xB8\xF6";
inline constexpr std::string_view kDownloadFailedBefore = "\xA3\xAC\xCA\xA7\xB0\xDC:";

// "下载失败：", before the reason when the folder stopped a download.
inline constexpr std::string_view kDownloadFailedLabel = "\xCF\xC2\xD4\xD8\xCA\xA7\xB0\xDC\xA3\xBA";

// What column 3 ("来自") holds for a WeChat group ("微信群") and a personal account ("个人微信").
inline constexpr std::string_view kGroupSourceSign = "\xCE\xA2\xD0\xC5\xC8\xBA";
inline constexpr std::string_view kPersonalSourceSign = "\xB8\xF6\xC8\xCB\xCE\xA2\xD0\xC5";

}  // namespace tollenby
