#include "tests/export/xls_readback.h"

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

namespace tollenby::testing {
namespace {

constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;

struct FreexlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

unsigned U16At(const std::string& data, std::size_t pos) {
    return static_cast<unsigned char>(data[pos]) | static_cast<unsigned char>(data[pos + 1]) << 8;
}

}  // namespace

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/tollenby_export_test_XXXXXX";
    if (::mkdtemp(pattern)) path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

ReadSheet ReadWithFreexl(const std::string& path, unsigned sheetIndex) {
    ReadSheet sheet;
    const void* raw = nullptr;
    sheet.error = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreexlCloser> handle(raw);
    if (sheet.error != FREEXL_OK) return sheet;
    unsigned info = 0;
    if ((sheet.error = freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &info)) != FREEXL_OK) return sheet;
    sheet.sheetCount = info;
    if ((sheet.error = freexl_get_info(raw, FREEXL_BIFF_VERSION, &info)) != FREEXL_OK) return sheet;
    sheet.biffVersion = info;
    if ((sheet.error = freexl_get_info(raw, FREEXL_BIFF_STRING_COUNT, &info)) != FREEXL_OK) return sheet;
    sheet.stringCount = info;
    if ((sheet.error = freexl_select_active_worksheet(raw, static_cast<unsigned short>(sheetIndex))) !=
        FREEXL_OK)
        return sheet;
    const char* name = nullptr;
    if (freexl_get_worksheet_name(raw, static_cast<unsigned short>(sheetIndex), &name) == FREEXL_OK && name) {
        sheet.sheetName = name;
    }
    unsigned rows = 0;
    unsigned short columns = 0;
    if ((sheet.error = freexl_worksheet_dimensions(raw, &rows, &columns)) != FREEXL_OK) return sheet;
    sheet.rows = rows;
    sheet.columns = columns;
    sheet.cells.assign(rows, std::vector<ReadCell>(columns));
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if ((sheet.error = freexl_get_cell_value(raw, r, c, &value)) != FREEXL_OK) return sheet;
            ReadCell& cell = sheet.cells[r][c];
            cell.type = value.type;
            if ((value.type == FREEXL_CELL_TEXT || value.type == FREEXL_CELL_SST_TEXT) &&
                value.value.text_value) {
                cell.text = value.value.text_value;
            }
        }
    }
    return sheet;
}

std::string ReadWorkbookStream(const std::string& path) {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
    GError* rawError = nullptr;
    GObjectPtr<GsfInput> file(gsf_input_stdio_new(path.c_str(), &rawError));
    std::unique_ptr<GError, GErrorFree> error(rawError);
    if (!file) return {};
    GObjectPtr<GsfInfile> container(gsf_infile_msole_new(file.get(), &rawError));
    error.reset(rawError);
    if (!container) return {};
    GObjectPtr<GsfInput> stream(gsf_infile_child_by_name(container.get(), "Workbook"));
    if (!stream) return {};
    std::string bytes(static_cast<std::size_t>(gsf_input_size(stream.get())), '\0');
    if (!bytes.empty() &&
        !gsf_input_read(stream.get(), bytes.size(), reinterpret_cast<guint8*>(bytes.data()))) {
        return {};
    }
    return bytes;
}

std::vector<BiffRecord> SplitRecords(const std::string& stream) {
    std::vector<BiffRecord> records;
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        BiffRecord record;
        record.type = static_cast<std::uint16_t>(U16At(stream, pos));
        std::size_t length = U16At(stream, pos + 2);
        record.offset = pos;
        if (pos + 4 + length > stream.size()) break;
        record.data = stream.substr(pos + 4, length);
        records.push_back(std::move(record));
        pos += 4 + length;
    }
    return records;
}

SharedStrings DecodeSharedStrings(const std::vector<BiffRecord>& records) {
    SharedStrings table;
    std::size_t rec = 0;
    while (rec < records.size() && records[rec].type != kSst) ++rec;
    if (rec == records.size() || records[rec].data.size() < 8) {
        table.problem = "no SST record";
        return table;
    }
    const std::string* data = &records[rec].data;
    table.totalRefs = U16At(*data, 0) | U16At(*data, 2) << 16;
    std::size_t unique = U16At(*data, 4) | U16At(*data, 6) << 16;
    std::size_t pos = 8;
    auto nextRecord = [&] {
        if (++rec >= records.size() || records[rec].type != kContinue) return false;
        data = &records[rec].data;
        pos = 0;
        ++table.continueRecords;
        return true;
    };
    for (std::size_t i = 0; i < unique; ++i) {
        if (pos == data->size() && !nextRecord()) {
            table.problem = "table ends before string " + std::to_string(i);
            return table;
        }
        if (data->size() - pos < 3) {
            table.problem = "header of string " + std::to_string(i) + " split";
            return table;
        }
        table.starts.push_back(records[rec].offset + 4 + pos);
        std::size_t count = U16At(*data, pos);
        unsigned flags = static_cast<unsigned char>((*data)[pos + 2]);
        pos += 3;
        if (flags & ~1u) {
            table.problem = "unexpected flags in string " + std::to_string(i);
            return table;
        }
        std::u16string text;
        std::size_t span = 1;
        while (text.size() < count) {
            if (pos == data->size()) {
                if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                    table.problem = "surrogate pair split in string " + std::to_string(i);
                    return table;
                }
                if (!nextRecord() || data->empty()) {
                    table.problem = "string " + std::to_string(i) + " runs off the table";
                    return table;
                }
                flags = static_cast<unsigned char>((*data)[pos++]);
                if (span++ == 1) ++table.splitStrings;
            }
            if (flags & 1) {
                if (data->size() - pos < 2) {
                    table.problem = "UTF-16 unit cut in string " + std::to_string(i);
                    return table;
                }
                text.push_back(static_cast<char16_t>(U16At(*data, pos)));
                pos += 2;
            } else {
                text.push_back(static_cast<unsigned char>((*data)[pos++]));
            }
        }
        table.longestSpan = std::max(table.longestSpan, span);
        table.strings.push_back(std::move(text));
    }
    if (pos != data->size() || (rec + 1 < records.size() && records[rec + 1].type == kContinue)) {
        table.problem = "data after the last string";
    }
    return table;
}

}  // namespace tollenby::testing
