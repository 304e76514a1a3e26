#include "export/spreadsheet.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "export/biff_writer.h"
#include "export/compound_file.h"
#include "export/errno_text.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

// Stream offsets inside the workbook and the compound file's own sizes are 32-bit; past 2 GB readers
// (and libgsf) part ways.
constexpr std::size_t kMaxStreamBytes = 0x7FFFFFFF;

// A temporary file beside the target. Removed when destroyed unless it was renamed into place.
class TempFile {
  public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (file_) std::fclose(file_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    // Creates the file under a fresh name in `folder`, with the permissions a new file normally gets.
    WriteResult Create(const std::filesystem::path& folder, const std::string& baseName) {
        std::random_device random;
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".tmp%08x%08x", random(), random());
            std::string path = (folder / ("." + baseName + suffix)).string();
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                error = errno;
                continue;
            }
            path_ = path;
            file_ = ::fdopen(fd, "wb");
            if (!file_) {
                error = errno;
                ::close(fd);
                break;
            }
            return WriteResult::Success();
        }
        return WriteResult::Failure("无法在文件夹 " + folder.string() + " 中创建文件：" + ErrnoText(error));
    }

    std::FILE* File() const { return file_; }

    // Flushes to the disk and closes. Returns 0 or the error number.
    int SyncAndClose() {
        int error = 0;
        if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) error = errno;
        if (std::fclose(file_) != 0 && error == 0) error = errno;
        file_ = nullptr;
        return error;
    }

    // Renames the finished file over `target`. Returns 0 or the error number (the file is then
    // removed when this object goes).
    int RenameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
        path_.clear();
        return 0;
    }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

ByteString BuildWorkbookStream(const std::vector<SpreadsheetRow>& rows, const TextArray& columnTitles) {
    BiffWorkbookWriter sheet(kSpreadsheetColumnCount);
    std::vector<std::u16string> cells(kSpreadsheetColumnCount);
    for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) {
        cells[k] = k < columnTitles.size() ? GbkToUtf16(columnTitles[k]) : std::u16string();
    }
    sheet.AddRow(cells);
    for (const SpreadsheetRow& row : rows) {
        for (std::size_t k = 0; k < kSpreadsheetColumnCount; ++k) cells[k] = GbkToUtf16(row[k]);
        sheet.AddRow(cells);
    }
    return sheet.Finish();
}

}  // namespace

TextArray ColumnTitleTexts() {
    return TextArray(kColumnTitles.begin(), kColumnTitles.end());
}

WriteResult WriteSpreadsheet(const std::vector<SpreadsheetRow>& rows, const std::string& filePath,
                             const TextArray& columnTitles) {
    if (rows.size() + 1 > kBiffMaxRows) {
        return WriteResult::Failure("共 " + std::to_string(rows.size()) + " 行，超过 .xls 文件能容纳的 " +
                                    std::to_string(kBiffMaxRows - 1) + " 行");
    }
    std::filesystem::path target(filePath);
    if (!target.has_filename()) return WriteResult::Failure("文件路径 " + filePath + " 没有文件名");

    // Everything is built in memory first, so nothing on disk is touched before the data is ready.
    ByteString stream = BuildWorkbookStream(rows, columnTitles);
    if (stream.size() > kMaxStreamBytes) {
        return WriteResult::Failure("表格内容共 " + std::to_string(stream.size() >> 20) +
                                    " MB，超过 .xls 文件能容纳的 2 GB");
    }

    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    TempFile temp;
    if (WriteResult created = temp.Create(folder, target.filename().string()); !created) return created;
    if (WriteResult written = WriteCompoundFile(temp.File(), filePath, "Workbook", stream); !written) {
        return written;
    }
    if (int error = temp.SyncAndClose(); error != 0) {
        return WriteResult::Failure("写入 " + filePath + " 时出错：" + ErrnoText(error));
    }
    if (int error = temp.RenameTo(filePath); error != 0) {
        return WriteResult::Failure("无法替换 " + filePath + "：" + ErrnoText(error));
    }
    return WriteResult::Success();
}

}  // namespace tollenby
