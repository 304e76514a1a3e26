// Writing a file so that it appears whole or not at all.
//
// The bytes go into a fresh temporary file in the target's folder; only once they are complete and
// synced to the disk is that file renamed over the target. Until then an existing file of the target's
// name keeps its bytes, and a failure leaves no temporary file behind. Every export writes through here.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "export/write_result.h"

namespace tollenby {

class AtomicFile {
  public:
    explicit AtomicFile(std::string targetPath);
    ~AtomicFile();  // removes the temporary file unless it was committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target. Fails when the target names no file, or the folder
    // is missing or not writable.
    WriteResult Open();

    // The open temporary file, for writers that stream into a FILE; null before Open or after Commit.
    std::FILE* File() const { return file_; }
    // Its path, for libraries that open the file by name themselves (they may truncate and rewrite it).
    const std::string& TempPath() const { return tempPath_; }
    const std::string& TargetPath() const { return target_; }

    WriteResult Write(std::string_view bytes);

    // Flushes, syncs and closes the temporary file and renames it over the target.
    WriteResult Commit();

    // A reason worded like every other export failure: "写入 <target> 时出错：<why>".
    WriteResult WriteFailure(const std::string& why) const;

  private:
    std::string target_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// The whole of `bytes` as the file `path`, atomically.
WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tollenby
