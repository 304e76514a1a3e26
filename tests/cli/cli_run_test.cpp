// tollenby-cli run end to end against the demo site: every format read back, images byte for byte,
// keywords from standard input, JSON lines on standard output, and the exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "export/spreadsheet.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/run_process.h"
#include "tests/export/xls_readback.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

using testing::Row;

class CliRun : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(site_.Start()); }

    testing::ProcessResult Run(std::vector<std::string> arguments, std::string input = {}) {
        testing::ProcessLaunch launch;
        launch.arguments = {"--host", site_.HostPort()};
        launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
        launch.input = std::move(input);
        launch.unsetEnvironment = {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"};
        return testing::RunCli(launch);
    }

    std::vector<Row> Read(const std::string& format, const std::string& path) {
        std::string error;
        std::vector<Row> rows = testing::ReadRows(format, path, error);
        EXPECT_EQ(error, "") << path;
        return rows;
    }

    demo::DemoSite site_;
    testing::ScratchDir dir_;
};

// Two detail workers only: the detail patterns search under a wall-clock budget, which a heavily
// loaded machine can exhaust when many workers match at once (the row then lacks that field).
TEST_F(CliRun, EveryFormatHoldsTheRunAndTheStatusLinesAreTheWindows) {
    const std::vector<std::string> keywords = {"美食", "旅游"};
    testing::ProcessResult result = Run({"-p", "2", "-t", "2", "-f", "xls", "-f", "xlsx", "-f", "csv", "-f",
                                         "jsonl", "-o", dir_.Path(), keywords[0], keywords[1]});
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "") << "standard output stays empty unless -o -";

    const std::vector<Row> expected = testing::ExpectedRows(testing::ExpectedEntries(site_, keywords, 2));
    ASSERT_FALSE(expected.empty());
    for (const char* format : {"xls", "xlsx", "csv", "jsonl"}) {
        SCOPED_TRACE(format);
        const std::vector<Row> rows = Read(format, dir_.File(std::string("data.") + format));
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i].size(), 12u) << "row " << i;
            for (std::size_t c = 0; c < 12; ++c) {
                EXPECT_EQ(rows[i][c], expected[i][c]) << "row " << i << " column " << c;
            }
        }
    }

    // data.xls is what the window's Export writes for the same table.
    std::vector<SpreadsheetRow> table;
    for (const Row& row : expected) {
        SpreadsheetRow cells;
        for (std::size_t k = 0; k < cells.size(); ++k) cells[k] = Utf8ToLocal(row[k]);
        table.push_back(cells);
    }
    ASSERT_TRUE(WriteSpreadsheet(table, dir_.File("window.xls"), ColumnTitleTexts()));
    EXPECT_TRUE(testing::ReadBytes(dir_.File("window.xls")) == testing::ReadBytes(dir_.File("data.xls")));

    // Standard error is not a terminal here: the status texts one per line, then the exports.
    for (const std::string& line :
         {std::string("正在采集关键词：美食1/2   第1页\n"), std::string("正在采集关键词：旅游2/2   第2页\n"),
          std::string("正在采集详细信息,请稍候...\n"),
          "采集完成！共计采集结果：" + std::to_string(expected.size()) + "条\n",
          "已导出 " + dir_.File("data.jsonl") + "（" + std::to_string(expected.size()) + " 条）\n"}) {
        EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
    }
    EXPECT_EQ(result.err.find('\r'), std::string::npos) << "no redrawn line off a terminal";
}

TEST_F(CliRun, ImagesAreTheServedBytesAndAMissingOneGivesExitOne) {
    const std::string missing = testing::KeywordWithMissingImage(site_);
    ASSERT_FALSE(missing.empty());
    testing::ProcessResult result = Run({"-i", "all", "-o", dir_.Path(), missing});
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(result.exitCode, 1) << result.err;

    std::vector<demo::DemoEntry> chosen;
    // A row with no QR address is no link: it is neither numbered nor counted.
    for (const demo::DemoEntry& entry : testing::ExpectedEntries(site_, {missing}, 1)) {
        if (!entry.deleted && !entry.qrImage.empty()) chosen.push_back(entry);
    }
    std::size_t failed = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const std::string path = dir_.File(std::to_string(i + 1) + ".gif");
        std::optional<std::string> gif = demo::QrImageGif(chosen[i].id);
        if (chosen[i].qrImageMissing || !gif) {
            ++failed;
            EXPECT_FALSE(std::filesystem::exists(path)) << path;
        } else {
            EXPECT_TRUE(testing::ReadBytes(path) == *gif) << path;
        }
    }
    EXPECT_NE(result.err.find("下载完成！共计下载:" + std::to_string(chosen.size() - failed) +
                              "个，失败:" + std::to_string(failed) + "个"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("二维码图片 " + std::to_string(failed) + " 个"), std::string::npos)
        << result.err;

    testing::ScratchDir clean;
    testing::ProcessResult whole =
        Run({"-i", "all", "-o", clean.Path(), testing::KeywordWithAllImages(site_)});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
}

TEST_F(CliRun, KeywordsFromStandardInputAfterTheArgumentsAndJsonLinesOnStandardOutput) {
    // A GBK keyword file with CR LF line ends, as older keyword lists are.
    const std::string gbkFile = Utf8ToLocal("美食\r\n旅游\r\n");
    testing::ProcessResult result = Run({"-k", "-", "-o", "-", "-f", "jsonl", "-q", "宠物"}, gbkFile);
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "") << "quiet";
    testing::WriteBytes(dir_.File("out.jsonl"), result.out);
    EXPECT_EQ(Read("jsonl", dir_.File("out.jsonl")),
              testing::ExpectedRows(testing::ExpectedEntries(site_, {"宠物", "美食", "旅游"}, 1)))
        << "standard output holds the JSON lines and nothing else";
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"out.jsonl"}) << "no file written with -o -";
}

TEST_F(CliRun, UsageErrorsExitTwoBeforeAnyRequest) {
    testing::WriteBytes(dir_.File("empty.txt"), "");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"-o", dir_.Path()}, "请输入关键词或导入关键词"},
        {{"-k", dir_.File("empty.txt")}, "请输入关键词或导入关键词"},
        {{"-k", dir_.File("missing.txt"), "美食"}, "missing.txt"},
        {{"--threads", "0", "美食"}, "--threads"},
        {{"-o", "-", "-f", "xls", "美食"}, "-o -"},
        {{"--frobnicate", "美食"}, "--frobnicate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        testing::ProcessResult result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(site_.RequestTargets().empty());
    testing::ProcessResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--proxy URL"), std::string::npos);
}

TEST_F(CliRun, AFileThatCannotBeWrittenGivesExitThreeAndKeepsItsOldBytes) {
    // data.csv cannot replace a folder of that name; data.jsonl is written all the same.
    std::filesystem::create_directories(dir_.File("data.csv/inside"));
    testing::ProcessResult result = Run({"-f", "csv", "-f", "jsonl", "-o", dir_.Path(), "美食"});
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_NE(result.err.find("导出失败：无法替换 " + dir_.File("data.csv")), std::string::npos)
        << result.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.File("data.csv/inside")));
    EXPECT_FALSE(Read("jsonl", dir_.File("data.jsonl")).empty());

    // A folder that is not there is found before anything is collected.
    site_.ResetRecords();
    testing::ProcessResult missing = Run({"-o", dir_.File("nowhere"), "美食"});
    EXPECT_EQ(missing.exitCode, 3) << missing.err;
    EXPECT_NE(missing.err.find(dir_.File("nowhere")), std::string::npos) << missing.err;
    EXPECT_TRUE(site_.RequestTargets().empty());
}

}  // namespace
}  // namespace tollenby
