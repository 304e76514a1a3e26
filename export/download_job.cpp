#include "export/download_job.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <utility>

#include "export/atomic_file.h"
#include "export/download_texts.h"
#include "export/errno_text.h"
#include "export/image_index.h"
#include "text/encoding.h"
#include "web/fetch_retry.h"

namespace tollenby {

namespace {

constexpr const char* kImageWrittenResult = "成功";

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
    return {std::move(outcome.body), outcome.status, outcome.transfer};
}

std::string ImageFailureReason(const FetchedImage& image) {
    switch (image.transfer) {
        case TransferFailure::None:
            break;
        case TransferFailure::NoResponse:
            return "无法连接或连接中断";
        case TransferFailure::BadAddress:
            return "地址无效";
        case TransferFailure::TimedOut:
            return "超时";
        case TransferFailure::OverCap:
            return "图片过大";
        case TransferFailure::TooManyRedirects:
            return "重定向过多";
        case TransferFailure::Cancelled:
            return "下载已停止";
    }
    if (image.status == 0) return "没有回应";
    if (image.status < 200 || image.status >= 300) return "HTTP " + std::to_string(image.status);
    return "回应为空";
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
    if (!counts.indexFailure.empty()) label += Utf8ToLocal("，images.csv未能写入：" + counts.indexFailure);
    return label;
}

namespace {

// One image: fetched, judged and written, or its number cleared. Gives "成功" or why it failed.
std::string DownloadOne(const Text& address, const std::string& path, const DownloadJobIo& io,
                        std::stop_token stop, bool& writeFailed) {
    FetchedImage image = io.fetch ? io.fetch(address, stop) : FetchImage(address, stop, io.retry);
    if (stop.stop_requested()) {
        io.remove(path);
        return "下载已停止";
    }
    if (!ImageArrived(image)) {
        io.remove(path);
        return ImageFailureReason(image);
    }
    WriteResult written = io.write(path, image.body);
    if (written.ok) return kImageWrittenResult;
    // The folder may have gone or turned read-only since it was last looked at.
    writeFailed = true;
    return "无法写入文件：" + written.reason;
}

// What the job's threads share. Every member but `stop` is guarded by `lock`.
struct DownloadRun {
    const TextArray& addresses;
    const DownloadJobIo& io;
    const DownloadJobView& view;
    std::stop_source stop{};  // the caller's stop, or a folder problem: every thread ends its image
    std::mutex lock{};
    std::size_t next = 0;      // the next list position to take
    std::size_t finished = 0;  // images done, whatever their result
    std::optional<std::string> checkedFolder{};
    DownloadCounts counts{};
    std::vector<std::string> results{};  // by position; empty while not finished
    std::string indexFolder{};           // where images.csv goes: the folder of the last image taken
};

// Takes the next image and the folder it goes to; nullopt when none is left or the job is stopping.
std::optional<std::size_t> TakeImage(DownloadRun& run, std::string& folder) {
    std::lock_guard guard(run.lock);
    if (run.stop.stop_requested() || run.next >= run.addresses.size()) return std::nullopt;
    folder = run.io.folder ? run.io.folder() : std::string();
    // Looked at before the first image and whenever the path box changes, so nothing is fetched for a
    // folder that cannot take it and nothing lands in the file system's root.
    if (folder != run.checkedFolder && run.io.folderProblem) {
        run.counts.folderFailure = run.io.folderProblem(folder);
        if (!run.counts.folderFailure.empty()) {
            run.stop.request_stop();
            return std::nullopt;
        }
        run.checkedFolder = folder;
    }
    run.indexFolder = folder;
    return run.next++;
}

void FinishImage(DownloadRun& run, std::size_t position, const std::string& folder, std::string result,
                 bool writeFailed) {
    std::lock_guard guard(run.lock);
    const bool written = result == kImageWrittenResult;
    if (written)
        ++run.counts.written;
    else
        ++run.counts.failed;
    if (writeFailed && run.io.folderProblem && run.counts.folderFailure.empty()) {
        std::string problem = run.io.folderProblem(folder);
        if (!problem.empty()) {
            run.counts.folderFailure = std::move(problem);
            run.stop.request_stop();  // every other thread's fetch ends at once
        } else {
            run.io.remove(ImagePath(folder, position + 1));
        }
    }
    run.results[position] = std::move(result);
    ++run.finished;
    if (run.view.imageStarting && run.finished < run.addresses.size() && !run.stop.stop_requested())
        run.view.imageStarting(run.finished + 1);
}

void DownloadImages(DownloadRun& run) {
    std::string folder;
    while (std::optional<std::size_t> position = TakeImage(run, folder)) {
        const std::string path = ImagePath(folder, *position + 1);
        bool writeFailed = false;
        std::string result;
        try {
            result = DownloadOne(run.addresses[*position], path, run.io, run.stop.get_token(), writeFailed);
        } catch (const std::exception&) {
            result = "内存不足";  // one image too large: it fails, the next one may fit
        }
        FinishImage(run, *position, folder, std::move(result), writeFailed);
    }
}

// images.csv in the folder the last image went to, through the same whole-or-nothing writer.
void WriteIndex(DownloadRun& run) {
    if (run.finished == 0 || !run.counts.folderFailure.empty()) return;
    std::vector<ImageIndexLine> lines;
    for (std::size_t i = 0; i < run.results.size(); ++i) {
        if (run.results[i].empty()) continue;
        lines.push_back(
            {i + 1, i < run.io.rows.size() ? &run.io.rows[i] : nullptr, run.addresses[i], run.results[i]});
    }
    std::string path = run.indexFolder;
    path += std::filesystem::path::preferred_separator;
    path += kImageIndexFileName;
    WriteResult written = run.io.write(path, ImageIndexCsv(lines));
    if (!written.ok) run.counts.indexFailure = written.reason.empty() ? "未知原因" : written.reason;
}

}  // namespace

DownloadCounts RunDownloadJob(const TextArray& addresses, const DownloadJobIo& io,
                              const DownloadJobView& view, std::stop_token stop) {
    DownloadRun run{addresses, io, view};
    run.results.resize(addresses.size());
    std::stop_callback forward(stop, [&run] { run.stop.request_stop(); });
    if (view.started) view.started(addresses.size());
    if (view.imageStarting && !addresses.empty()) view.imageStarting(1);
    {
        const std::size_t threads =
            std::min(addresses.size(), static_cast<std::size_t>(std::max(1, io.threads)));
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < threads; ++i) {
            try {
                helpers.emplace_back([&run] {
                    try {
                        DownloadImages(run);
                    } catch (...) {
                        // Its images are counted by the threads that remain; this keeps the process alive.
                    }
                });
            } catch (const std::exception&) {
                break;  // no more threads: the ones there are take every image
            }
        }
        DownloadImages(run);
    }  // the helpers are joined here
    WriteIndex(run);
    if (view.finished) view.finished(run.counts);
    return run.counts;
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
