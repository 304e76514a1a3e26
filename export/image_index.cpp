#include "export/image_index.h"

#include "export/csv_writer.h"
#include "text/encoding.h"

namespace tollenby {

std::string ImageIndexCsv(const std::vector<ImageIndexLine>& lines) {
    std::string out = "\xEF\xBB\xBF";
    out += CsvRecord({"文件", "ID", "群/公众号名称", "来自", "地区", "二维码图片", "结果"});
    for (const ImageIndexLine& line : lines) {
        const QrRowTexts empty;
        const QrRowTexts& row = line.row != nullptr ? *line.row : empty;
        out += CsvRecord({std::to_string(line.number) + ".gif", AnsiToUtf8(row.id), AnsiToUtf8(row.title),
                          AnsiToUtf8(row.source), AnsiToUtf8(row.region), AnsiToUtf8(line.address),
                          line.result});
    }
    return out;
}

}  // namespace tollenby
