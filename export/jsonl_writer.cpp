#include "export/jsonl_writer.h"

#include <cerrno>

#include "export/atomic_file.h"
#include "export/errno_text.h"
#include "text/encoding.h"

namespace tollenby {

std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string JsonLine(const SpreadsheetRow& row) {
    std::string line = "{";
    for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) {
        if (k > 0) line += ',';
        line += '"';
        line += kJsonKeys[k];
        line += "\":";
        line += JsonString(AnsiToUtf8(row[k]));
    }
    line += "}\n";
    return line;
}

WriteResult WriteJsonLinesTo(std::FILE* out, const std::string& name,
                             const std::vector<SpreadsheetRow>& rows) {
    for (const SpreadsheetRow& row : rows) {
        const std::string line = JsonLine(row);
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) {
            return WriteResult::Failure("写入 " + name + " 时出错：" + ErrnoText(errno));
        }
    }
    if (std::fflush(out) != 0) return WriteResult::Failure("写入 " + name + " 时出错：" + ErrnoText(errno));
    return WriteResult::Success();
}

WriteResult WriteJsonLines(const std::vector<SpreadsheetRow>& rows, const std::string& filePath) {
    AtomicFile file(filePath);
    if (WriteResult opened = file.Open(); !opened) return opened;
    if (WriteResult written = WriteJsonLinesTo(file.File(), filePath, rows); !written) return written;
    return file.Commit();
}

}  // namespace tollenby
