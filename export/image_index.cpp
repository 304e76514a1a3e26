#include "export/image_index.h"

#include "text/encoding.h"

namespace tollenby {
namespace {

void AppendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendLine(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendField(out, fields[i]);
    }
    out += "\r\n";
}

}  // namespace

std::string ImageIndexCsv(const std::vector<ImageIndexLine>& lines) {
    std::string out = "\xEF\xBB\xBF";
    AppendLine(out, {"文件", "ID", "群/公众号名称", "来自", "地区", "二维码图片", "结果"});
    for (const ImageIndexLine& line : lines) {
        const QrRowTexts empty;
        const QrRowTexts& row = line.row != nullptr ? *line.row : empty;
        AppendLine(out,
                   {std::to_string(line.number) + ".gif", AnsiToUtf8(row.id), AnsiToUtf8(row.title),
                    AnsiToUtf8(row.source), AnsiToUtf8(row.region), AnsiToUtf8(line.address), line.result});
    }
    return out;
}

}  // namespace tollenby
