#include "export/xlsx_writer.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "export/atomic_file.h"
#include "export/errno_text.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

// The longest text a cell holds, in UTF-16 units (as the spreadsheet program counts).
constexpr std::size_t kMaxCellUnits = 32767;

// A workbook being written. Closing it writes the file; one that is dropped unclosed is closed then
// (its file is the temporary one, which the AtomicFile removes).
class XlsxWorkbook {
  public:
    XlsxWorkbook(const std::string& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = nullptr;
        options.use_zip64 = LXW_TRUE;
        workbook_.reset(workbook_new_opt(path.c_str(), &options));
        if (workbook_) {
            textFormat_ = workbook_add_format(workbook_.get());
            if (textFormat_) format_set_num_format(textFormat_, "@");
        }
    }
    bool Valid() const { return workbook_ && textFormat_; }

    lxw_worksheet* AddSheet() { return workbook_add_worksheet(workbook_.get(), nullptr); }
    lxw_format* TextFormat() const { return textFormat_; }

    lxw_error Close() { return workbook_close(workbook_.release()); }

  private:
    struct Closer {
        void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
    };
    std::unique_ptr<lxw_workbook, Closer> workbook_;
    lxw_format* textFormat_ = nullptr;  // owned by the workbook
};

// The text cut to the cell limit, never inside a character.
std::string_view CutToCellLimit(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        units += length == 4 ? 2 : 1;
        if (units > kMaxCellUnits) return utf8.substr(0, pos);
        pos += length;
    }
    return utf8;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Office Open XML strings carry characters XML cannot hold as "_xHHHH_", and spreadsheet programs decode
// every such sequence. libxlsxwriter escapes the control characters that way but leaves a text that
// already holds such a sequence as it is, which a reader would then decode into another character: its
// underscore is written as "_x005F_" so the text comes back as it was.
std::string EscapeLiteralEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const bool sequence = text[pos] == '_' && pos + 6 < text.size() && text[pos + 1] == 'x' &&
                              IsHex(text[pos + 2]) && IsHex(text[pos + 3]) && IsHex(text[pos + 4]) &&
                              IsHex(text[pos + 5]) && text[pos + 6] == '_';
        out += sequence ? std::string_view("_x005F_") : text.substr(pos, 1);
    }
    return out;
}

// In constant-memory mode libxlsxwriter spools each worksheet's rows into a temporary file and does not
// look at the result of those writes: a full disk there would give a workbook with rows missing and
// no error. The stream's own error flag still tells, so it is checked before the sheet is finished.
std::string SpoolProblem(lxw_worksheet* sheet) {
    std::FILE* spool = sheet ? sheet->optimize_tmpfile : nullptr;
    if (!spool) return {};
    errno = 0;
    if (std::fflush(spool) != 0 || std::ferror(spool)) {
        return "工作表临时文件写入失败：" + ErrnoText(errno != 0 ? errno : EIO);
    }
    return {};
}

lxw_error WriteRow(lxw_worksheet* sheet, lxw_format* format, lxw_row_t row, const Text* cells,
                   std::size_t count) {
    for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) {
        const std::string text = k < count ? AnsiToUtf8(cells[k]) : std::string();
        const auto column = static_cast<lxw_col_t>(k);
        lxw_error error =
            text.empty() ? worksheet_write_blank(sheet, row, column, format)
                         : worksheet_write_string(sheet, row, column,
                                                  EscapeLiteralEscapes(CutToCellLimit(text)).c_str(), format);
        if (error != LXW_NO_ERROR) return error;
    }
    return LXW_NO_ERROR;
}

}  // namespace

WriteResult WriteXlsx(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                      const TextArray& columnTitles) {
    AtomicFile file(filePath);
    if (WriteResult opened = file.Open(); !opened) return opened;

    XlsxWorkbook workbook(file.TempPath());
    if (!workbook.Valid()) return file.WriteFailure("无法建立工作簿");
    lxw_worksheet* sheet = nullptr;
    lxw_row_t next = 0;  // the next row of the current worksheet
    auto startSheet = [&]() -> WriteResult {
        if (std::string problem = SpoolProblem(sheet); !problem.empty()) return file.WriteFailure(problem);
        sheet = workbook.AddSheet();
        if (!sheet) return file.WriteFailure("无法建立工作表");
        next = 1;
        lxw_error error = WriteRow(sheet, workbook.TextFormat(), 0, columnTitles.data(), columnTitles.size());
        return error == LXW_NO_ERROR ? WriteResult::Success() : file.WriteFailure(lxw_strerror(error));
    };
    if (WriteResult started = startSheet(); !started) return started;
    for (const SpreadsheetRow& row : rows) {
        if (next == kXlsxMaxRows) {
            if (WriteResult started = startSheet(); !started) return started;
        }
        if (lxw_error error = WriteRow(sheet, workbook.TextFormat(), next++, row.data(), row.size());
            error != LXW_NO_ERROR) {
            return file.WriteFailure(lxw_strerror(error));
        }
    }
    if (std::string problem = SpoolProblem(sheet); !problem.empty()) return file.WriteFailure(problem);
    if (lxw_error error = workbook.Close(); error != LXW_NO_ERROR)
        return file.WriteFailure(lxw_strerror(error));
    return file.Commit();
}

}  // namespace tollenby
