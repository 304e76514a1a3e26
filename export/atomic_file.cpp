#include "export/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <utility>

#include "export/errno_text.h"

namespace tollenby {

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

WriteResult AtomicFile::Open() {
    std::filesystem::path target(target_);
    if (!target.has_filename()) return WriteResult::Failure("文件路径 " + target_ + " 没有文件名");
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    // A hidden name in the same folder, so the final rename never crosses file systems.
    std::random_device random;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".tmp%08x%08x", random(), random());
        std::string path = (folder / ("." + target.filename().string() + suffix)).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            continue;
        }
        tempPath_ = std::move(path);
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

WriteResult AtomicFile::Write(std::string_view bytes) {
    if (!file_) return WriteFailure("文件没有打开");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        return WriteFailure(ErrnoText(errno));
    }
    return WriteResult::Success();
}

WriteResult AtomicFile::Commit() {
    if (!file_) return WriteFailure("文件没有打开");
    int error = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) error = errno != 0 ? errno : EIO;
    if (error == 0 && ::fsync(::fileno(file_)) != 0) error = errno;
    if (std::fclose(std::exchange(file_, nullptr)) != 0 && error == 0) error = errno;
    if (error != 0) return WriteFailure(ErrnoText(error));
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        return WriteResult::Failure("无法替换 " + target_ + "：" + ErrnoText(errno));
    }
    committed_ = true;
    return WriteResult::Success();
}

WriteResult AtomicFile::WriteFailure(const std::string& why) const {
    return WriteResult::Failure("写入 " + target_ + " 时出错：" + why);
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    AtomicFile file(path);
    if (WriteResult opened = file.Open(); !opened) return opened;
    if (WriteResult written = file.Write(bytes); !written) return written;
    return file.Commit();
}

}  // namespace tollenby
