#include "export/download_job.h"

#include <unistd.h>

#include <filesystem>
#include <utility>

#include "export/atomic_file.h"
#include "export/download_texts.h"
#include "web/fetch_page.h"

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

FetchedImage FetchImage(const Text& address, std::stop_token stop) {
    FetchedImage image;
    image.body = FetchPage(address, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                           {.stop = stop, .statusCode = &image.status});
    return image;
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
