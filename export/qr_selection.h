// Which QR image addresses the download window takes from ResultList, by the export option.
//
// Plain C++: the window hands in a snapshot of the three columns the choice looks at.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

class ResultRows;

// The cells of one ResultList row that the choice reads, GBK as the row shows them.
struct QrRowTexts {
    Text source;   // column 3, "来自"
    Text region;   // column 7, "地区"
    Text qrImage;  // column 10, "二维码图片"
    Text id{};     // column 0, "ID": only images.csv reads it, and the title
    Text title{};  // column 1, "群/公众号名称"
};

// Those columns of every row, in row order. The row count is read once; a row that vanishes
// while the snapshot is taken (a new run clearing the list) is left out rather than read as empty.
std::vector<QrRowTexts> QrRowsOf(const ResultRows& rows);

// Whether a row passes the option's test. A row with an empty column 10 never does (no link).
// Containment is a case-sensitive, character-aware search:
//   AllQrCodes       column 10 does not contain "文章已经删除"
//   GroupQrCodes     that, and column 3 contains "微信群"
//   PersonalQrCodes  that, and column 3 contains "个人微信"
//   ByRegion         column 7 equals selectedRegion byte for byte (empty when nothing is selected);
//                    column 10 is not looked at
//   Spreadsheet      never (no image option is selected)
bool QrRowPasses(ExportOption option, const QrRowTexts& row, std::string_view selectedRegion);

// Column 10 of every passing row, unchanged, in row order.
TextArray SelectQrAddresses(ExportOption option, std::string_view selectedRegion,
                            const std::vector<QrRowTexts>& rows);
// The passing rows themselves, in the same order.
std::vector<QrRowTexts> SelectQrRows(ExportOption option, std::string_view selectedRegion,
                                     const std::vector<QrRowTexts>& rows);

// "共计：N个有效二维码链接", GBK.
Text UrlCountLabel(std::size_t count);

}  // namespace tollenby
