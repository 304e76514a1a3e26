// Reading written .xls files back for the tests, with readers that share no code with the writer:
// libfreexl for what a spreadsheet user sees, libgsf's OLE2 reader plus a small record walker for the
// BIFF layout itself (record limits, CONTINUE rules, cell formats).
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tollenby::testing {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const;  // the entries, sorted

  private:
    std::string path_;
};

// Lowers the file-size limit for its lifetime: writes past it fail (EFBIG) the way a full disk makes
// them fail, at the moment the data goes out.
class FileSizeLimit {
  public:
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    explicit FileSizeLimit(rlim_t bytes) {
        previousSignal_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousSignal_);
    }

  private:
    rlimit previous_{};
    sighandler_t previousSignal_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

struct ReadCell {
    int type = 0;      // FREEXL_CELL_*
    std::string text;  // UTF-8, for text cells
};

struct ReadSheet {
    int error = 0;  // FREEXL_OK or the first freexl error
    unsigned sheetCount = 0;
    unsigned biffVersion = 0;
    unsigned stringCount = 0;  // entries of the shared-string table
    unsigned rows = 0;
    unsigned columns = 0;
    std::string sheetName;
    std::vector<std::vector<ReadCell>> cells;  // [row][column]
};

// Opens the file with libfreexl and reads one worksheet (from 0) whole.
ReadSheet ReadWithFreexl(const std::string& path, unsigned sheetIndex = 0);

struct BiffRecord {
    std::uint16_t type = 0;
    std::size_t offset = 0;  // of the record header in the stream
    std::string data;
};

// The "Workbook" stream of a compound file (empty when it cannot be read) and its records.
std::string ReadWorkbookStream(const std::string& path);
std::vector<BiffRecord> SplitRecords(const std::string& stream);

struct SharedStrings {
    std::string problem;  // empty when the table obeys the layout rules
    std::vector<std::u16string> strings;
    std::size_t continueRecords = 0;
    std::size_t splitStrings = 0;     // strings whose characters go on in a CONTINUE record
    std::size_t longestSpan = 0;      // most records one string's characters touch
    std::vector<std::size_t> starts;  // stream offset of each string's header
    std::uint32_t totalRefs = 0;
};

// Decodes SST and its CONTINUE records, checking that no header is split, every continued string
// starts its CONTINUE with a flags byte and no UTF-16 unit is cut.
SharedStrings DecodeSharedStrings(const std::vector<BiffRecord>& records);

}  // namespace tollenby::testing
