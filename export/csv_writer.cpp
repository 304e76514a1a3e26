#include "export/csv_writer.h"

#include <cerrno>

#include "export/atomic_file.h"
#include "export/errno_text.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void AppendField(std::string& out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
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

std::vector<std::string> Utf8Fields(const Text* cells, std::size_t count) {
    std::vector<std::string> fields(kSpreadsheetColumnCount);
    for (std::size_t k = 0; k < count && k < kSpreadsheetColumnCount; ++k) fields[k] = AnsiToUtf8(cells[k]);
    return fields;
}

WriteResult Put(std::FILE* out, const std::string& name, std::string_view bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
        return WriteResult::Failure("写入 " + name + " 时出错：" + ErrnoText(errno));
    }
    return WriteResult::Success();
}

}  // namespace

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) record += ',';
        AppendField(record, fields[k]);
    }
    record += "\r\n";
    return record;
}

WriteResult WriteCsvTo(std::FILE* out, const std::string& name, const std::vector<SpreadsheetRow>& rows,
                       const TextArray& columnTitles, const CsvOptions& options) {
    if (options.byteOrderMark) {
        if (WriteResult r = Put(out, name, kByteOrderMark); !r) return r;
    }
    if (WriteResult r = Put(out, name, CsvRecord(Utf8Fields(columnTitles.data(), columnTitles.size()))); !r) {
        return r;
    }
    for (const SpreadsheetRow& row : rows) {
        if (WriteResult r = Put(out, name, CsvRecord(Utf8Fields(row.data(), row.size()))); !r) return r;
    }
    if (std::fflush(out) != 0) return WriteResult::Failure("写入 " + name + " 时出错：" + ErrnoText(errno));
    return WriteResult::Success();
}

WriteResult WriteCsv(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                     const TextArray& columnTitles, const CsvOptions& options) {
    AtomicFile file(filePath);
    if (WriteResult opened = file.Open(); !opened) return opened;
    if (WriteResult written = WriteCsvTo(file.File(), filePath, rows, columnTitles, options); !written) {
        return written;
    }
    return file.Commit();
}

}  // namespace tollenby
