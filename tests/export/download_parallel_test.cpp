// The download job with several threads: files numbered by list position whatever order the images
// arrive in, the label never past the total, and a stop or a folder problem ending every thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "export/download_job.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;

// A thread-safe fake: serves "GIF<address>", holding each fetch until `inFlightWanted` fetches are
// under way together (or a bound passes), so the job must really run them at once.
struct ParallelFake {
    std::mutex lock;
    std::condition_variable_any changed;
    int inFlight = 0;
    int maxInFlight = 0;
    int inFlightWanted = 1;
    bool holdUntilStopped = false;     // fetches end only with their stop token
    std::size_t holdAfter = SIZE_MAX;  // fetches after this many end only with their stop token
    std::vector<std::string> fetched;
    std::map<std::string, std::string> files;
    std::vector<std::size_t> labels;
    std::string failingPath;
    std::string problemAfterFailure;  // what the folder check says once a write has failed

    DownloadJobIo Io(int threads) {
        DownloadJobIo io;
        io.threads = threads;
        io.folder = [] { return std::string("/f"); };
        io.folderProblem = [this](const std::string&) {
            std::lock_guard guard(lock);
            return files.count(failingPath) == 0 && !failingPath.empty() && written > 0 ? problemAfterFailure
                                                                                        : std::string();
        };
        io.fetch = [this](const Text& address, std::stop_token stop) {
            std::unique_lock guard(lock);
            fetched.push_back(address);
            maxInFlight = std::max(maxInFlight, ++inFlight);
            changed.notify_all();
            if (holdUntilStopped || fetched.size() > holdAfter)
                changed.wait_for(guard, stop, 20s, [] { return false; });
            else
                changed.wait_for(guard, stop, 5s, [&] { return maxInFlight >= inFlightWanted; });
            --inFlight;
            guard.unlock();
            if (stop.stop_requested()) return FetchedImage{};
            return FetchedImage{"GIF" + address, 200};
        };
        io.write = [this](const std::string& path, std::string_view bytes) {
            std::lock_guard guard(lock);
            if (path == failingPath) {
                ++written;
                return WriteResult::Failure("gone");
            }
            files[path] = std::string(bytes);
            return WriteResult::Success();
        };
        io.remove = [this](const std::string& path) {
            std::lock_guard guard(lock);
            files.erase(path);
        };
        return io;
    }
    DownloadJobView View() {
        DownloadJobView view;
        view.imageStarting = [this](std::size_t i) {
            std::lock_guard guard(lock);
            labels.push_back(i);
        };
        return view;
    }
    int written = 0;
};

TextArray Addresses(std::size_t count) {
    TextArray addresses;
    for (std::size_t i = 1; i <= count; ++i) addresses.push_back("q" + std::to_string(i));
    return addresses;
}

TEST(ParallelDownload, ImagesGoAtOnceAndKeepTheNumbersOfTheirPositions) {
    ParallelFake fake;
    fake.inFlightWanted = 4;
    const TextArray addresses = Addresses(13);
    DownloadCounts counts = RunDownloadJob(addresses, fake.Io(4), fake.View());
    EXPECT_EQ(counts.written, 13u);
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(fake.maxInFlight, 4) << "four threads, never more";
    for (std::size_t i = 1; i <= 13; ++i)
        EXPECT_EQ(fake.files["/f/" + std::to_string(i) + ".gif"], "GIFq" + std::to_string(i));
    EXPECT_EQ(std::set<std::string>(fake.fetched.begin(), fake.fetched.end()).size(), 13u) << "each once";
    // The label counts finished images: it starts at 1, rises by one, never passes the total.
    std::vector<std::size_t> expected;
    for (std::size_t i = 1; i <= 13; ++i) expected.push_back(i);
    EXPECT_EQ(fake.labels, expected);
    // The index lists the files in number order.
    const std::string& index = fake.files["/f/images.csv"];
    std::size_t at = 0;
    for (std::size_t i = 1; i <= 13; ++i) {
        std::size_t found =
            index.find("\r\n" + std::to_string(i) + ".gif,,,,,q" + std::to_string(i) + ",成功\r\n");
        ASSERT_NE(found, std::string::npos) << i;
        EXPECT_GT(found, at);
        at = found;
    }
}

TEST(ParallelDownload, StopEndsEveryThreadsImageAtOnce) {
    ParallelFake fake;
    fake.holdUntilStopped = true;
    std::stop_source stop;
    std::jthread stopper([&] {
        std::unique_lock guard(fake.lock);
        fake.changed.wait_for(guard, 10s, [&] { return fake.inFlight == 3; });
        guard.unlock();
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    DownloadCounts counts = RunDownloadJob(Addresses(10), fake.Io(3), fake.View(), stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(counts.written, 0u);
    EXPECT_EQ(counts.failed, 3u) << "the three images in flight";
    EXPECT_EQ(fake.fetched.size(), 3u) << "nothing more is asked for";
    EXPECT_EQ(fake.labels, (std::vector<std::size_t>{1}));
}

TEST(ParallelDownload, AFolderProblemStopsEveryThread) {
    ParallelFake fake;
    fake.inFlightWanted = 3;
    fake.failingPath = "/f/2.gif";
    fake.problemAfterFailure = "无法打开文件夹 /f：gone";
    fake.holdAfter = 3;  // the other threads' next images are still on their way when the write fails
    const auto start = std::chrono::steady_clock::now();
    DownloadCounts counts = RunDownloadJob(Addresses(30), fake.Io(3), fake.View());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the images in flight were cut";
    EXPECT_EQ(counts.folderFailure, "无法打开文件夹 /f：gone");
    EXPECT_LE(fake.fetched.size(), 5u);
    EXPECT_EQ(fake.files.count("/f/images.csv"), 0u) << "no index into a folder that cannot take it";
    EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel(counts)), "下载失败：无法打开文件夹 /f：gone");
}

}  // namespace
}  // namespace tollenby
