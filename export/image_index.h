// images.csv: which row of the table each downloaded image file belongs to, written beside the images.
#pragma once

#include <string>
#include <vector>

#include "export/qr_selection.h"
#include "text/gbk_text.h"

namespace tollenby {

inline constexpr const char* kImageIndexFileName = "images.csv";

// What became of one image of a download.
struct ImageIndexLine {
    std::size_t number = 0;           // the file's number, from 1
    const QrRowTexts* row = nullptr;  // the row behind the address; null when not known
    Text address;                     // GBK, as the row holds it
    std::string result;               // UTF-8: "成功", or why the image failed
};

// The file's bytes: UTF-8 with a byte-order mark, CRLF line ends, a header line 文件, ID,
// 群/公众号名称, 来自, 地区, 二维码图片, 结果, then one line per image in the order given. Fields that
// hold a comma, a quote or a line break are quoted, quotes doubled.
std::string ImageIndexCsv(const std::vector<ImageIndexLine>& lines);

}  // namespace tollenby
