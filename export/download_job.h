// DownloadJob: fetches the chosen QR images, up to `threads` at once, and stores them as 1.gif, 2.gif
// and on (numbered by their position in the list) in the folder of the path box, with images.csv
// beside them telling which row each file came from.
//
// Plain C++ so it runs, and is tested, without a window: the fetch, the file writes and what the job
// shows are handed in. The job works on its own copy of the address list.
//
// An image counts only when a 2xx response delivered a non-empty body. For any other outcome (no
// connection, an error status, an empty body, a file that cannot be written) no file is left under
// that image's number: an older file of that number is removed, so one folder never mixes images of
// two runs under one numbering. The job then goes on with the next image. Transient fetch failures
// are retried first, by the job's RetryPolicy.
//
// A folder that cannot take images (no folder text, missing, not a folder, not writable) is no
// single image's failure: the job stops at once with the reason, and files written before stay.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "export/qr_selection.h"
#include "export/write_result.h"
#include "text/gbk_text.h"
#include "web/fetch_control.h"
#include "web/fetch_retry.h"

namespace tollenby {

struct FetchedImage {
    ByteString body;
    int status = 0;                                    // HTTP status of the final response; 0 when none came
    TransferFailure transfer = TransferFailure::None;  // why no complete response came, when none did
};

// Why an image that did not arrive failed (UTF-8), for images.csv.
std::string ImageFailureReason(const FetchedImage& image);

// True for a 2xx response with a non-empty body.
bool ImageArrived(const FetchedImage& image);

using ImageFetcher = std::function<FetchedImage(const Text& address, std::stop_token stop)>;
using ImageWriter = std::function<WriteResult(const std::string& path, std::string_view bytes)>;
using ImageRemover = std::function<void(const std::string& path)>;

// FetchPage with the address alone (GET, no cookies, headers, proxy or options), its status kept;
// each attempt under the detail-page limits, transient failures retried by `policy`.
FetchedImage FetchImage(const Text& address, std::stop_token stop, const RetryPolicy& policy = {});

// Why image files cannot be written into `folder` (UTF-8, worded like the export's reasons); empty
// when they can. Tries a scratch file, so it is exact also where permissions do not tell.
std::string FolderProblem(const std::string& folder);

// Writes the bytes under a temporary name beside `path` and renames it over `path` when complete, so
// a failed write never leaves a truncated image under that name.
WriteResult WriteImageFile(const std::string& path, std::string_view bytes);

// Removes a file (not a folder) of that name, if there is one. Quiet.
void RemoveImageFile(const std::string& path);

// folder + separator + number + ".gif". The separator is added even after a trailing one: the file
// system reads the doubled separator as one.
std::string ImagePath(std::string_view folder, std::size_t number);

struct DownloadCounts {
    std::size_t written = 0;
    std::size_t failed = 0;
    std::string folderFailure{};  // UTF-8; not empty when the folder stopped the job
    std::string indexFailure{};   // UTF-8; not empty when images.csv could not be written
};

// "正在下载第i个二维码图片", GBK.
Text DownloadingLabel(std::size_t number);
// "下载完成！共计下载:K个", followed by "，失败:M个" when M > 0; "下载失败：" and the reason when the
// folder stopped the job. When images.csv could not be written, "，images.csv未能写入：" and the reason
// follow. GBK.
Text DownloadDoneLabel(const DownloadCounts& counts);

// What the job reports while it runs, on its own thread. Any of them may be empty.
struct DownloadJobView {
    std::function<void(std::size_t total)> started;  // before the first image
    // The label's number: images finished so far plus one, never more than the total. Reported before
    // the first fetch and whenever an image finishes while others remain, always rising; with one
    // thread that is the number of the image about to be fetched.
    std::function<void(std::size_t number)> imageStarting;
    std::function<void(const DownloadCounts& counts)> finished;
};

struct DownloadJobIo {
    std::function<std::string()> folder;  // the path box as a file-system path, read anew for every image
    RetryPolicy retry{};                  // for the default fetch (the command line's --retries N)
    ImageFetcher fetch{};                 // empty: FetchImage with `retry`
    std::function<std::string(const std::string& folder)> folderProblem = FolderProblem;
    ImageWriter write = WriteImageFile;
    ImageRemover remove = RemoveImageFile;
    int threads = 1;  // images fetched at once (the thread-count box, or the command line's --threads)
    // The rows behind the addresses, in the same order, for images.csv; columns it lacks stay empty.
    std::vector<QrRowTexts> rows{};
};

// The job, on the calling thread and threads-1 more, each keeping its connection from image to image.
// Once `stop` is set the job ends after the images in flight (which count as failed) and reports what
// it has done so far. A folder problem stops every thread at once. images.csv lists every image that
// finished, in number order, unless the folder stopped the job.
DownloadCounts RunDownloadJob(const TextArray& addresses, const DownloadJobIo& io,
                              const DownloadJobView& view, std::stop_token stop = {});

// The download threads of the program: one per click of Start Download, never waited for by the click.
// Nothing else may wait for one either, except the owner when it goes: its destructor stops every job
// still running (each ends within a fetch's cancel latency) and joins them, so no job outlives what it
// writes through.
class DownloadJobs {
  public:
    DownloadJobs() = default;
    ~DownloadJobs();
    DownloadJobs(const DownloadJobs&) = delete;
    DownloadJobs& operator=(const DownloadJobs&) = delete;

    // Runs `job` on a thread of its own; the token is the one Stop() sets.
    void Start(std::function<void(std::stop_token stop)> job);
    void Stop();
    std::size_t Running() const;
    // Waits until no job runs; false on time-out.
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

  private:
    struct Job {
        std::thread thread;
        std::shared_ptr<bool> done;  // written under lock_
    };
    void JoinFinishedLocked();

    mutable std::mutex lock_;
    mutable std::condition_variable idle_;
    std::vector<Job> jobs_;
    std::size_t running_ = 0;
    std::stop_source stop_;
};

}  // namespace tollenby
