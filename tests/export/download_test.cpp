// The download's plain logic: which rows each export option takes, the window's texts, and the job's
// loop against fakes and against the demo site.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "collect/result_rows.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "export/download_job.h"
#include "export/qr_selection.h"
#include "tests/export/xls_readback.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;

Text Gbk(const std::string& utf8) {
    return Utf8ToLocal(utf8);
}

// A ResultList row given in UTF-8: source (column 3), region (7) and QR image (10).
RowCells Row(const std::string& source, const std::string& region, const std::string& qr) {
    RowCells cells;
    cells[kColumnSource] = Gbk(source);
    cells[kColumnRegion] = Gbk(region);
    cells[kColumnQrImage] = Gbk(qr);
    return cells;
}

// A table with every kind of row the choice has to tell apart.
void FillSampleRows(ResultRows& rows) {
    rows.AppendCells(Row("微信群", "上海", "q1"));
    rows.AppendCells(Row("个人微信", "北京", "q2"));
    rows.AppendCells(Row("公众号", "上海", "q3"));
    rows.AppendCells(Row("微信群", "上海", "文章已经删除"));    // deleted group in 上海
    rows.AppendCells(Row("来自微信群聊", "", ""));              // group, nothing fetched yet
    rows.AppendCells(Row("个人微信号", "上海市", "q6"));        // region is not 上海
    rows.AppendCells(Row("微信", "", "q7"));                    // neither group nor personal
    rows.AppendCells(Row("个人微信", "", "前文章已经删除后"));  // marker inside the cell
    rows.AppendCells(Row("微信群", "Shanghai", "q9"));
}

TEST(QrSelection, EachOptionTakesItsRowsInOrder) {
    ResultRows rows;
    FillSampleRows(rows);
    const std::vector<QrRowTexts> snapshot = QrRowsOf(rows);
    ASSERT_EQ(snapshot.size(), 9u);

    struct Case {
        ExportOption option;
        std::string region;
        std::vector<std::string> addresses;
    };
    const Case cases[] = {
        // An empty address is no link, whatever the option.
        {ExportOption::AllQrCodes, "", {"q1", "q2", "q3", "q6", "q7", "q9"}},
        {ExportOption::GroupQrCodes, "", {"q1", "q9"}},
        {ExportOption::PersonalQrCodes, "", {"q2", "q6"}},
        // By region: exact equality only, the deleted marker is not looked at.
        {ExportOption::ByRegion, "上海", {"q1", "q3", "文章已经删除"}},
        {ExportOption::ByRegion, "", {"q7", "前文章已经删除后"}},
        {ExportOption::ByRegion, "shanghai", {}},
        {ExportOption::ByRegion, "天津", {}},
        {ExportOption::Spreadsheet, "", {}},
    };
    for (const Case& c : cases) {
        TextArray expected;
        for (const std::string& address : c.addresses) expected.push_back(Gbk(address));
        EXPECT_EQ(SelectQrAddresses(c.option, Gbk(c.region), snapshot), expected)
            << "option " << static_cast<int>(c.option) << " region '" << c.region << "'";
    }
}

TEST(QrSelection, SnapshotFollowsRowOrderAndEmptyTableGivesNothing) {
    ResultRows rows;
    EXPECT_TRUE(QrRowsOf(rows).empty());
    rows.Append("t", "u", Gbk("微信群"));
    rows.SetCell(rows.IdAt(0), kColumnQrImage, "first");
    rows.AppendCells(Row("个人微信", "北京", "second"));
    const std::vector<QrRowTexts> snapshot = QrRowsOf(rows);
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[0].source, Gbk("微信群"));
    EXPECT_EQ(snapshot[0].qrImage, "first");
    EXPECT_EQ(snapshot[1].region, Gbk("北京"));
    EXPECT_EQ(snapshot[1].qrImage, "second");
}

TEST(DownloadTexts, ReadByteForByte) {
    EXPECT_EQ(AnsiToUtf8(UrlCountLabel(12)), "共计：12个有效二维码链接");
    EXPECT_EQ(AnsiToUtf8(UrlCountLabel(0)), "共计：0个有效二维码链接");
    EXPECT_EQ(AnsiToUtf8(DownloadingLabel(3)), "正在下载第3个二维码图片");
    EXPECT_EQ(AnsiToUtf8(DownloadingLabel(10)), "正在下载第10个二维码图片");
    EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel({.written = 12, .failed = 0})), "下载完成！共计下载:12个");
    EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel({.written = 0, .failed = 0})), "下载完成！共计下载:0个");
    EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel({.written = 9, .failed = 3})), "下载完成！共计下载:9个，失败:3个");
    EXPECT_EQ(AnsiToUtf8(DownloadDoneLabel({.written = 0, .failed = 2})), "下载完成！共计下载:0个，失败:2个");
}

TEST(DownloadTexts, ImagePathAddsTheSeparatorAlways) {
    EXPECT_EQ(ImagePath("/data/out", 1), "/data/out/1.gif");
    EXPECT_EQ(ImagePath("/data/out/", 10), "/data/out//10.gif");
    EXPECT_EQ(ImagePath("", 7), "/7.gif");
}

TEST(ImageArrival, OnlyA2xxBodyCounts) {
    EXPECT_TRUE(ImageArrived({"GIF89a", 200}));
    EXPECT_TRUE(ImageArrived({"GIF89a", 203}));
    EXPECT_FALSE(ImageArrived({"<html>not found</html>", 404}));
    EXPECT_FALSE(ImageArrived({"moved", 302}));
    EXPECT_FALSE(ImageArrived({"", 200}));
    EXPECT_FALSE(ImageArrived({"", 0}));
    EXPECT_FALSE(ImageArrived({"partial", 0}));
}

// A job over fakes that logs what happened, in order.
struct FakeDownload {
    std::vector<std::string> log;
    std::map<std::string, FetchedImage> served;  // by address; anything else: no connection
    std::map<std::string, std::string> files;    // what was written, by path
    std::string folder = "/one";
    std::string failingPath;  // the writer fails for this path

    DownloadJobIo Io() {
        DownloadJobIo io;
        io.folder = [this] {
            log.push_back("folder");
            return folder;
        };
        io.fetch = [this](const Text& address, std::stop_token) {
            log.push_back("fetch " + address);
            auto found = served.find(address);
            return found == served.end() ? FetchedImage{} : found->second;
        };
        io.write = [this](const std::string& path, std::string_view bytes) {
            log.push_back("write " + path);
            if (path == failingPath) return WriteResult::Failure("disk full");
            files[path] = std::string(bytes);
            return WriteResult::Success();
        };
        io.remove = [this](const std::string& path) {
            log.push_back("remove " + path);
            files.erase(path);
        };
        io.folderProblem = [](const std::string&) {
            return std::string();
        };  // the fake folders take anything
        return io;
    }
    DownloadJobView View() {
        DownloadJobView view;
        view.started = [this](std::size_t total) { log.push_back("started " + std::to_string(total)); };
        view.imageStarting = [this](std::size_t i) { log.push_back("image " + std::to_string(i)); };
        view.finished = [this](const DownloadCounts& counts) {
            log.push_back("finished " + std::to_string(counts.written) + "/" + std::to_string(counts.failed));
        };
        return view;
    }
};

TEST(DownloadJob, ReportsBeforeEachFetchAndRemovesWhatFailed) {
    FakeDownload fake;
    fake.served = {{"a", {"AAA", 200}}, {"b", {"not found", 404}}, {"c", {"", 200}}, {"e", {"EEE", 200}}};
    fake.files["/one/2.gif"] = "stale";
    fake.failingPath = "/one/5.gif";
    // "d" is refused (no entry); the fifth image arrives but cannot be written.
    DownloadCounts counts = RunDownloadJob({"a", "b", "c", "d", "e"}, fake.Io(), fake.View());
    EXPECT_EQ(counts.written, 1u);
    EXPECT_EQ(counts.failed, 4u);
    const std::vector<std::string> expected = {
        "started 5",
        "image 1",
        "folder",
        "fetch a",
        "write /one/1.gif",
        "image 2",
        "folder",
        "fetch b",
        "remove /one/2.gif",
        "image 3",
        "folder",
        "fetch c",
        "remove /one/3.gif",
        "image 4",
        "folder",
        "fetch d",
        "remove /one/4.gif",
        "image 5",
        "folder",
        "fetch e",
        "write /one/5.gif",
        "remove /one/5.gif",
        "write /one/images.csv",
        "finished 1/4",
    };
    EXPECT_EQ(fake.log, expected);
    // Each file's line tells its row and what became of it.
    EXPECT_EQ(fake.files["/one/images.csv"],
              "\xEF\xBB\xBF文件,ID,群/公众号名称,来自,地区,二维码图片,结果\r\n"
              "1.gif,,,,,a,成功\r\n2.gif,,,,,b,HTTP 404\r\n3.gif,,,,,c,回应为空\r\n"
              "4.gif,,,,,d,没有回应\r\n5.gif,,,,,e,无法写入文件：disk full\r\n");
    fake.files.erase("/one/images.csv");
    EXPECT_EQ(fake.files, (std::map<std::string, std::string>{{"/one/1.gif", "AAA"}}));
}

TEST(DownloadJob, ReadsThePathBoxAnewForEveryImage) {
    FakeDownload fake;
    fake.served = {{"a", {"A", 200}}, {"b", {"B", 200}}};
    DownloadJobIo io = fake.Io();
    int reads = 0;
    io.folder = [&] { return ++reads == 1 ? std::string("/one") : std::string("/two/"); };
    DownloadCounts counts = RunDownloadJob({"a", "b"}, io, {});
    EXPECT_EQ(counts.written, 2u);
    EXPECT_EQ(fake.files.erase("/two//images.csv"), 1u) << "the index goes where the last image went";
    EXPECT_EQ(fake.files, (std::map<std::string, std::string>{{"/one/1.gif", "A"}, {"/two//2.gif", "B"}}));
}

TEST(DownloadJob, EmptyListFinishesAtOnce) {
    FakeDownload fake;
    DownloadCounts counts = RunDownloadJob({}, fake.Io(), fake.View());
    EXPECT_EQ(counts.written + counts.failed, 0u);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"started 0", "finished 0/0"}));
}

TEST(DownloadJob, StopEndsAfterTheImageInFlight) {
    FakeDownload fake;
    std::stop_source stop;
    DownloadJobIo io = fake.Io();
    io.fetch = [&](const Text& address, std::stop_token token) {
        fake.log.push_back("fetch " + address);
        stop.request_stop();  // the stop arrives while this image is on its way
        return token.stop_requested() ? FetchedImage{} : FetchedImage{"X", 200};
    };
    DownloadCounts counts = RunDownloadJob({"a", "b", "c"}, io, fake.View(), stop.get_token());
    EXPECT_EQ(counts.written, 0u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_EQ(fake.log,
              (std::vector<std::string>{"started 3", "image 1", "folder", "fetch a", "remove /one/1.gif",
                                        "write /one/images.csv", "finished 0/1"}));
    EXPECT_TRUE(fake.files["/one/images.csv"].ends_with("\r\n1.gif,,,,,a,下载已停止\r\n"));
}

TEST(ImageFiles, WriteReplacesWholeAndFailsForAMissingFolder) {
    testing::ScratchDir dir;
    const std::string path = dir.File("1.gif");
    testing::WriteBytes(path, std::string(5000, 'o'));
    ASSERT_TRUE(WriteImageFile(path, "new").ok);
    EXPECT_EQ(testing::ReadBytes(path), "new");
    ASSERT_TRUE(WriteImageFile(path, "").ok);
    EXPECT_EQ(testing::ReadBytes(path), "");

    WriteResult missing = WriteImageFile(dir.File("nope/1.gif"), "x");
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"1.gif"})) << "no temporary file is left behind";

    RemoveImageFile(path);
    RemoveImageFile(path);  // nothing there any more: quiet
    std::filesystem::create_directory(dir.File("2.gif"));
    RemoveImageFile(dir.File("2.gif"));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"2.gif"})) << "a folder of that name stays";
}

// The real fetch and writer against the demo site: ids 1..14 (6 is missing: 404), one refused
// address and one empty address.
TEST(DownloadJobAgainstDemoSite, FilesHoldTheServedBytesAndFailuresLeaveNoFile) {
    ASSERT_TRUE(InitHttp());
    demo::DemoSite site;
    ASSERT_TRUE(site.Start());
    demo::DemoSite closed;
    ASSERT_TRUE(closed.Start());
    const std::string refused = closed.BaseUrl() + "/qr/1.gif";
    closed.Stop();

    TextArray addresses;
    std::map<std::size_t, std::string> expected;  // number -> bytes
    for (std::uint32_t id = 1; id <= 14; ++id) {
        addresses.push_back(site.BaseUrl() + "/qr/" + std::to_string(id) + ".gif");
        if (std::optional<std::string> gif = demo::QrImageGif(id)) expected[addresses.size()] = *gif;
    }
    addresses.push_back(refused);  // 15
    addresses.push_back("");       // 16
    ASSERT_EQ(expected.count(6), 0u) << "the demo site's image 6 is the missing one";
    std::set<std::string> distinct;
    for (const auto& [number, bytes] : expected) distinct.insert(bytes);
    ASSERT_EQ(distinct.size(), expected.size())
        << "every image differs, so a file under the wrong number shows";

    testing::ScratchDir dir;
    // Stale files of an earlier run: 6 and 15 must go, 20 (above this run's count) stays.
    for (const char* name : {"6.gif", "15.gif", "20.gif"}) testing::WriteBytes(dir.File(name), "old");

    DownloadJobIo io;
    io.folder = [&] { return dir.Path(); };
    io.retry.waitScale = 0.01;  // the refused address is tried three times
    DownloadCounts counts = RunDownloadJob(addresses, io, {});
    EXPECT_EQ(counts.written, 13u);
    EXPECT_EQ(counts.failed, 3u);

    std::vector<std::string> names;
    for (const auto& [number, bytes] : expected) {
        names.push_back(std::to_string(number) + ".gif");
        EXPECT_EQ(testing::ReadBytes(dir.File(names.back())), bytes) << names.back();
    }
    names.push_back("20.gif");
    names.push_back("images.csv");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.Names(), names) << "unpadded names, nothing under a failed number";
    EXPECT_EQ(testing::ReadBytes(dir.File("20.gif")), "old");
}

TEST(DownloadJobs, StopEndsAJobWaitingForAnImage) {
    ASSERT_TRUE(InitHttp());
    demo::DemoSite site;
    ASSERT_TRUE(site.Start());
    site.PauseResponses();
    testing::ScratchDir dir;
    std::vector<DownloadCounts> results;
    {
        DownloadJobs jobs;
        jobs.Start([&](std::stop_token stop) {
            DownloadJobIo io;
            io.folder = [&] { return dir.Path(); };
            results.push_back(
                RunDownloadJob({site.BaseUrl() + "/qr/1.gif", site.BaseUrl() + "/qr/2.gif"}, io, {}, stop));
        });
        ASSERT_TRUE(site.WaitForInFlight(1, 5s));
        EXPECT_EQ(jobs.Running(), 1u);
        EXPECT_FALSE(jobs.WaitUntilIdle(50ms));
        jobs.Stop();
        EXPECT_TRUE(jobs.WaitUntilIdle(5s));
    }  // joined here
    site.ResumeResponses();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].written, 0u);
    EXPECT_EQ(results[0].failed, 1u) << "the image in flight fails, the next one is not asked for";
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"images.csv"})) << "no image, and the index says why";
    EXPECT_TRUE(testing::ReadBytes(dir.File("images.csv")).ends_with("/qr/1.gif,下载已停止\r\n"));
    EXPECT_EQ(site.RequestTargetsStartingWith("/qr/").size(), 1u);
}

}  // namespace
}  // namespace tollenby
