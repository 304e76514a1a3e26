// A folder that cannot take images stops the download with its reason, instead of failing every
// image one by one (or writing into the file system's root).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/download_job.h"
#include "tests/export/xls_readback.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

// The real writer and folder check, a fake fetch that serves every address and counts.
struct Folder {
    std::string path{};
    std::vector<std::string> fetched{};
    std::function<void(std::size_t)> beforeFetch{};

    DownloadJobIo Io() {
        DownloadJobIo io;
        io.folder = [this] { return path; };
        io.fetch = [this](const Text& address, std::stop_token) {
            fetched.push_back(address);
            if (beforeFetch) beforeFetch(fetched.size());
            return FetchedImage{"GIF89a" + address, 200};
        };
        return io;
    }
};

// A folder this process cannot create files in: by its mode for an ordinary user; root ignores
// modes, so for root a folder of the kernel's that takes no files.
std::string ReadOnlyFolder(const testing::ScratchDir& dir) {
    if (::geteuid() == 0) return "/proc/self";
    const std::string folder = dir.File("locked");
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    return folder;
}

TEST(DownloadFolder, ProblemsStopTheJobBeforeAnythingIsFetched) {
    testing::ScratchDir dir;
    testing::WriteBytes(dir.File("plain"), "not a folder");
    struct Case {
        std::string folder;
        std::string reasonStart;
    };
    const Case cases[] = {
        {"", "没有选择保存路径"},
        {dir.File("missing"), "无法打开文件夹 " + dir.File("missing") + "："},
        {dir.File("plain"), dir.File("plain") + " 不是文件夹"},
        {ReadOnlyFolder(dir), "无法在文件夹 " + ReadOnlyFolder(dir) + " 中创建文件："},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("folder '" + c.folder + "'");
        Folder folder{c.folder};
        DownloadCounts counts = RunDownloadJob({"a", "b"}, folder.Io(), {});
        EXPECT_TRUE(folder.fetched.empty());
        EXPECT_EQ(counts.written, 0u);
        EXPECT_TRUE(counts.folderFailure.starts_with(c.reasonStart)) << counts.folderFailure;
        EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel(counts)), "下载失败：" + counts.folderFailure);
    }
    ::chmod(dir.File("locked").c_str(), 0755);
}

TEST(DownloadFolder, AFolderThatGoesMidwayStopsTheJobAndKeepsWhatWasWritten) {
    testing::ScratchDir dir;
    const std::string folder = dir.File("out");
    const std::string moved = dir.File("moved");
    std::filesystem::create_directory(folder);
    Folder job{folder};
    job.beforeFetch = [&](std::size_t fetchNo) {
        if (fetchNo == 2) std::filesystem::rename(folder, moved);  // the user moves the folder away
    };
    DownloadCounts counts = RunDownloadJob({"a", "b", "c"}, job.Io(), {});
    EXPECT_EQ(counts.written, 1u);
    EXPECT_EQ(job.fetched.size(), 2u) << "the third image is not asked for";
    EXPECT_TRUE(counts.folderFailure.starts_with("无法打开文件夹 " + folder)) << counts.folderFailure;
    EXPECT_EQ(testing::ReadBytes(moved + "/1.gif"), "GIF89aa");
}

TEST(DownloadFolder, AWritableFolderTakesEveryImageAndKeepsNoScratchFile) {
    testing::ScratchDir dir;
    Folder job{dir.Path()};
    DownloadCounts counts = RunDownloadJob({"a", "b"}, job.Io(), {});
    EXPECT_EQ(counts.written, 2u);
    EXPECT_TRUE(counts.folderFailure.empty());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"1.gif", "2.gif", "images.csv"}));
    EXPECT_EQ(testing::ReadBytes(dir.File("images.csv")),
              "\xEF\xBB\xBF文件,ID,群/公众号名称,来自,地区,二维码图片,结果\r\n"
              "1.gif,,,,,a,成功\r\n2.gif,,,,,b,成功\r\n");
}

}  // namespace
}  // namespace tollenby
