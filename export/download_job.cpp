#include "export/download_job.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <utility>

#include "export/atomic_file.h"
#include "export/errno_text.h"
#include "export/download_texts.h"
#include "text/encoding.h"
#include "web/fetch_retry.h"

namespace tollenby {

namespace {

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
    // The probe is the same temporary file every image write starts with; it is removed again.
    AtomicFile probe(ImagePath(folder, 0));
    if (WriteResult opened = probe.Open(); !opened) return opened.reason;
    return {};
}

WriteResult WriteImageFile(const std::string& path, std::string_view bytes) {
    return WriteFileAtomically(path, bytes);
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
