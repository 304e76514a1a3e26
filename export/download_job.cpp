#include "export/download_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <utility>

#include "export/download_texts.h"
#include "export/errno_text.h"
#include "web/fetch_page.h"

namespace tollenby {

namespace {

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

FetchedImage FetchImage(const Text& address, std::stop_token stop) {
    FetchedImage image;
    image.body = FetchPage(address, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                           {.stop = stop, .statusCode = &image.status});
    return image;
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
    Text label = NumberedText(kDownloadDoneBefore, counts.written, kCountUnit);
    if (counts.failed > 0) label += NumberedText(kDownloadFailedBefore, counts.failed, kCountUnit);
    return label;
}

DownloadCounts RunDownloadJob(const TextArray& addresses, const DownloadJobIo& io,
                              const DownloadJobView& view, std::stop_token stop) {
    DownloadCounts counts;
    if (view.started) view.started(addresses.size());
    for (std::size_t number = 1; number <= addresses.size() && !stop.stop_requested(); ++number) {
        if (view.imageStarting) view.imageStarting(number);
        const std::string path = ImagePath(io.folder ? io.folder() : std::string(), number);
        FetchedImage image = io.fetch(addresses[number - 1], stop);
        if (ImageArrived(image) && !stop.stop_requested() && io.write(path, image.body).ok) {
            ++counts.written;
        } else {
            io.remove(path);
            ++counts.failed;
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
                         job(stop_.get_token());
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
