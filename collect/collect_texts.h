// The collection run's own texts, GBK bytes. The UTF-8 form of each stands in its comment.
#pragma once

#include <string_view>

namespace tollenby {

// "正在采集关键词：", shown before every search page with the keyword, its number and the page.
inline constexpr std::string_view kSearchingKeywordText =
    "\xD5\xFD\xD4\xDA\xB2\xC9\xBC\xAF\xB9\xD8\xBC\xFC\xB4\xCA\xA3\xBA";
// "   第" and "页", around the page number.
inline constexpr std::string_view kPageNumberBefore = "   \xB5\xDA";
inline constexpr std::string_view kPageNumberAfter = "\xD2\xB3";
// "正在采集详细信息,请稍候...", when the detail phase begins.
inline constexpr std::string_view kDetailPhaseText =
    "\xD5\xFD\xD4\xDA\xB2\xC9\xBC\xAF\xCF\xEA\xCF\xB8\xD0\xC5\xCF\xA2,\xC7\xEB\xC9\xD4\xBA\xF2...";
// "采集完成！共计采集结果：" and "条", around the row count at the end of a run.
inline constexpr std::string_view kRunCompleteBefore =
    "\xB2\xC9\xBC\xAF\xCD\xEA\xB3\xC9\xA3\xA1\xB9\xB2\xBC\xC6\xB2\xC9\xBC\xAF\xBD\xE1\xB9\xFB\xA3\xBA";
inline constexpr std::string_view kRunCompleteAfter = "\xCC\xF5";
// "，失败：" and "条" around the rows of the run that failed, then "，搜索页失败：" and "页" around the
// search pages that failed; each only when its count is not 0.
inline constexpr std::string_view kRowsFailedBefore = "\xA3\xAC\xCA\xA7\xB0\xDC\xA3\xBA";
inline constexpr std::string_view kSearchPagesFailedBefore =
    "\xA3\xAC\xCB\xD1\xCB\xF7\xD2\xB3\xCA\xA7\xB0\xDC\xA3\xBA";
inline constexpr std::string_view kPagesAfter = "\xD2\xB3";
// "采集已停止！共计采集结果：" and "条" around the row count after Stop.
inline constexpr std::string_view kRunStoppedBefore =
    "\xB2\xC9\xBC\xAF\xD2\xD1\xCD\xA3\xD6\xB9\xA3\xA1\xB9\xB2\xBC\xC6\xB2\xC9\xBC\xAF\xBD\xE1\xB9\xFB\xA3"
    "\xBA";

// Column 11 while a detail worker runs ("正在采集中") and when it has read the page ("采集完成").
inline constexpr std::string_view kRowWorkingText = "\xD5\xFD\xD4\xDA\xB2\xC9\xBC\xAF\xD6\xD0";
inline constexpr std::string_view kRowDoneText = "\xB2\xC9\xBC\xAF\xCD\xEA\xB3\xC9";
// Column 11 of a row whose detail page could not be read ("采集失败"); its columns 4 to 10 stay empty.
inline constexpr std::string_view kRowFailedText = "\xB2\xC9\xBC\xAF\xCA\xA7\xB0\xDC";

// A detail page holding "获得更多金币秘籍" belongs to an entry that is gone; its row then holds
// "文章已经删除" in columns 4 to 10. The download window and the region box test for the marker too.
inline constexpr std::string_view kEntryGoneSign =
    "\xBB\xF1\xB5\xC3\xB8\xFC\xB6\xE0\xBD\xF0\xB1\xD2\xC3\xD8\xBC\xAE";
inline constexpr std::string_view kDeletedMarker = "\xCE\xC4\xD5\xC2\xD2\xD1\xBE\xAD\xC9\xBE\xB3\xFD";

// Column 9 when the detail page shows no account ID ("无").
inline constexpr std::string_view kNoAccountIdText = "\xCE\xDE";

// The message for an empty keyword box ("请输入关键词或导入关键词") and its caption ("信息：").
inline constexpr std::string_view kNoKeywordsMessage =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xB9\xD8\xBC\xFC\xB4\xCA\xBB\xF2\xB5\xBC\xC8\xEB\xB9\xD8\xBC\xFC\xB4\xCA";
inline constexpr std::string_view kMessageCaption = "\xD0\xC5\xCF\xA2\xA3\xBA";

}  // namespace tollenby
