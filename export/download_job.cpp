#include "export/download_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include "export/download_texts.h"
#include "text/encoding.h"
#include "web/fetch_retry.h"

namespace tollenby {

namespace {

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// A file descriptor, closed when the object goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now, for the error close() may report. Returns 0 or errno.
    int Close() {
        int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

  private:
    int fd_;
};

// A fresh file beside the target, removed again unless it was renamed into place.
class TempImageFile {
  public:
    explicit TempImageFile(const std::string& target) {
        std::random_device random;
        for (int attempt = 0; attempt < 8; ++attempt) {
            char suffix[24];
            std::snprintf(suffix, sizeof suffix, ".part%08x", static_cast<unsigned>(random()));
            std::string candidate = target + suffix;
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                path_ = std::move(candidate);
                fd_ = std::make_unique<FileDescriptor>(fd);
                return;
            }
            error_ = errno;
            if (error_ != EEXIST) return;
        }
    }
    ~TempImageFile() {
        fd_.reset();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempImageFile(const TempImageFile&) = delete;
    TempImageFile& operator=(const TempImageFile&) = delete;

    bool Opened() const { return fd_ != nullptr; }
    int OpenError() const { return error_; }

    int Write(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t done = ::write(fd_->Get(), bytes.data(), bytes.size());
            if (done < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            bytes.remove_prefix(static_cast<std::size_t>(done));
        }
        return fd_->Close();
    }

    int RenameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
        path_.clear();
        return 0;
    }

  private:
    std::string path_;
    std::unique_ptr<FileDescriptor> fd_;
    int error_ = 0;
};

Text NumberedText(std::string_view before, std::size_t number, std::string_view after) {
    Text text(before);
    text += std::to_string(number);
    text += after;
    return text;
}

}  // namespace

bool ImageArrived(const FetchedImage& image) {
    return image.status >= 200 && image.status < 300 && !image.body.empty();
}

FetchedImage FetchImage(const Text& address, std::stop_token stop, const RetryPolicy& policy) {
    FetchOutcome outcome = FetchPageRetrying(address, policy, stop);
    return {std::move(outcome.body), outcome.status};
}

std::string FolderProblem(const std::string& folder) {
    if (folder.empty()) return "没有选择保存路径";
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return "无法打开文件夹 " + folder + "：" + ErrnoText(errno);
    if (!S_ISDIR(info.st_mode)) return folder + " 不是文件夹";
    // Permission bits do not tell for every user (root) or file system (read-only mounts): try.
    TempImageFile probe(ImagePath(folder, 0));
    if (!probe.Opened()) return "无法在文件夹 " + folder + " 中创建文件：" + ErrnoText(probe.OpenError());
    return {};
}

WriteResult WriteImageFile(const std::string& path, std::string_view bytes) {
    TempImageFile file(path);
    if (!file.Opened()) return WriteResult::Failure(ErrnoText(file.OpenError()));
    if (int error = file.Write(bytes)) return WriteResult::Failure(ErrnoText(error));
    if (int error = file.RenameTo(path)) return WriteResult::Failure(ErrnoText(error));
    return WriteResult::Success();
}

void RemoveImageFile(const std::string& path) {
    // unlink() leaves a folder of that name alone.
    ::unlink(path.c_str());
}

std::string ImagePath(std::string_view folder, std::size_t number) {
    std::string path(folder);
    path += std::filesystem::path::preferred_separator;
    path += std::to_string(number);
    path += ".gif";
    return path;
}

Text DownloadingLabel(std::size_t number) {
    return NumberedText(kDownloadingBefore, number, kDownloadingAfter);
}

Text DownloadDoneLabel(const DownloadCounts& counts) {
    if (!counts.folderFailure.empty()) return Text(kDownloadFailedLabel) + Utf8ToLocal(counts.folderFailure);
    Text label = NumberedText(kDownloadDoneBefore, counts.written, kCountUnit);
    if (counts.failed > 0) label += NumberedText(kDownloadFailedBefore, counts.failed, kCountUnit);
    return label;
}

namespace {

// One image: fetched, judged and written, or its number cleared. True when it was written.
bool DownloadOne(const Text& address, const std::string& path, const DownloadJobIo& io, std::stop_token stop,
                 bool& folderFailed) {
    FetchedImage image = io.fetch ? io.fetch(address, stop) : FetchImage(address, stop, io.retry);
    if (!ImageArrived(image) || stop.stop_requested()) {
        io.remove(path);
        return false;
    }
    if (io.write(path, image.body).ok) return true;
    // The folder may have gone or turned read-only since it was last looked at.
    folderFailed = true;
    return false;
}

}  // namespace

DownloadCounts RunDownloadJob(const TextArray& addresses, const DownloadJobIo& io,
                              const DownloadJobView& view, std::stop_token stop) {
    DownloadCounts counts;
    if (view.started) view.started(addresses.size());
    std::optional<std::string> checkedFolder;
    for (std::size_t number = 1; number <= addresses.size() && !stop.stop_requested(); ++number) {
        if (view.imageStarting) view.imageStarting(number);
        const std::string folder = io.folder ? io.folder() : std::string();
        // Looked at before the first image and whenever the path box changes, so nothing is fetched
        // for a folder that cannot take it and nothing lands in the file system's root.
        if (folder != checkedFolder && io.folderProblem) {
            counts.folderFailure = io.folderProblem(folder);
            if (!counts.folderFailure.empty()) break;
            checkedFolder = folder;
        }
        const std::string path = ImagePath(folder, number);
        bool writeFailed = false;
        bool written = false;
        try {
            written = DownloadOne(addresses[number - 1], path, io, stop, writeFailed);
        } catch (const std::exception&) {
            written = false;  // out of memory for one image: it fails, the next one may fit
        }
        if (written) {
            ++counts.written;
            continue;
        }
        ++counts.failed;
        if (writeFailed && io.folderProblem) {
            counts.folderFailure = io.folderProblem(folder);
            if (!counts.folderFailure.empty()) break;
            io.remove(path);
        }
    }
    if (view.finished) view.finished(counts);
    return counts;
}

DownloadJobs::~DownloadJobs() {
    Stop();
    std::vector<Job> jobs;
    {
        std::lock_guard guard(lock_);
        jobs.swap(jobs_);
    }
    for (Job& job : jobs) job.thread.join();
}

void DownloadJobs::Start(std::function<void(std::stop_token stop)> job) {
    std::lock_guard guard(lock_);
    JoinFinishedLocked();
    auto done = std::make_shared<bool>(false);
    ++running_;
    jobs_.push_back({std::thread([this, done, job = std::move(job)] {
                         try {
                             job(stop_.get_token());
                         } catch (...) {
                             // The job reports its own failures; this barrier keeps the process alive.
                         }
                         std::lock_guard finished(lock_);
                         *done = true;
                         --running_;
                         idle_.notify_all();
                     }),
                     done});
}

void DownloadJobs::Stop() {
    stop_.request_stop();
}

std::size_t DownloadJobs::Running() const {
    std::lock_guard guard(lock_);
    return running_;
}

bool DownloadJobs::WaitUntilIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return idle_.wait_for(guard, timeout, [this] { return running_ == 0; });
}

void DownloadJobs::JoinFinishedLocked() {
    // A finished job has left the locked block above for good, so joining it here cannot wait on us.
    std::erase_if(jobs_, [](Job& job) {
        if (!*job.done) return false;
        job.thread.join();
        return true;
    });
}

}  // namespace tollenby
