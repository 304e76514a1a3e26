#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_keywords.h"
#include "cli/cli_port.h"
#include "cli/progress_view.h"
#include "cli/run_failures.h"
#include "collect/collect_texts.h"
#include "text/encoding.h"

namespace tollenby::cli {
namespace {

using Action = ParsedCommandLine::Action;

TEST(ParseCommandLine, EachOptionInEachSpelling) {
    struct Case {
        std::vector<std::string> arguments;
        std::function<bool(const CliOptions&)> holds;
    } cases[] = {
        {{},
         [](const CliOptions& o) {
             return o.keywords.empty() && o.pagesText == "1" && o.threads == 5 &&
                    o.since == TimeFilter::AllTime && o.output == "." &&
                    o.formats == std::vector{ExportFormat::Xls} && !o.images && !o.host && o.retries == 2 &&
                    !o.proxy && o.csvByteOrderMark && !o.quiet;
         }},
        {{"-k", "a.txt", "--keywords", "-", "--keywords=b.txt"},
         [](const CliOptions& o) {
             return o.keywordFiles == std::vector<std::string>{"a.txt", "-", "b.txt"};
         }},
        {{"-p", "3"}, [](const CliOptions& o) { return o.pagesText == "3"; }},
        {{"-p7"}, [](const CliOptions& o) { return o.pagesText == "7"; }},
        {{"--pages=12abc"}, [](const CliOptions& o) { return o.pagesText == "12abc"; }},  // read like the box
        {{"--pages", "-1"}, [](const CliOptions& o) { return o.pagesText == "-1"; }},     // none
        {{"-t", "64"}, [](const CliOptions& o) { return o.threads == 64; }},
        {{"--threads=1"}, [](const CliOptions& o) { return o.threads == 1; }},
        {{"-s", "day"}, [](const CliOptions& o) { return o.since == TimeFilter::OneDay; }},
        {{"--since=week"}, [](const CliOptions& o) { return o.since == TimeFilter::OneWeek; }},
        {{"--since", "month"}, [](const CliOptions& o) { return o.since == TimeFilter::OneMonth; }},
        {{"-o", "/tmp/x"}, [](const CliOptions& o) { return o.output == "/tmp/x" && !o.ToStandardOutput(); }},
        {{"-o", "-", "-f", "jsonl"}, [](const CliOptions& o) { return o.ToStandardOutput(); }},
        {{"-f", "csv", "--format=xlsx", "-fcsv", "-f", "xls"},
         [](const CliOptions& o) {
             return o.formats == std::vector{ExportFormat::Csv, ExportFormat::Xlsx, ExportFormat::Xls};
         }},
        {{"-i", "group"}, [](const CliOptions& o) { return o.images->option == ExportOption::GroupQrCodes; }},
        {{"--images=personal"},
         [](const CliOptions& o) { return o.images->option == ExportOption::PersonalQrCodes; }},
        {{"-i", "all"}, [](const CliOptions& o) { return o.images->option == ExportOption::AllQrCodes; }},
        {{"-i", "region=上海"},
         [](const CliOptions& o) {
             return o.images->option == ExportOption::ByRegion && o.images->region == "上海";
         }},
        {{"-i", "region="},
         [](const CliOptions& o) {
             return o.images->option == ExportOption::ByRegion && o.images->region.empty();
         }},
        {{"--host", "dir.example:8080"}, [](const CliOptions& o) { return *o.host == "dir.example:8080"; }},
        {{"--retries", "0"}, [](const CliOptions& o) { return o.retries == 0; }},
        {{"--proxy", "socks5h://u:p@127.0.0.1:1080"},
         [](const CliOptions& o) { return *o.proxy == "socks5h://u:p@127.0.0.1:1080"; }},
        {{"--csv-no-bom", "-q"}, [](const CliOptions& o) { return !o.csvByteOrderMark && o.quiet; }},
        {{"-qp2"}, [](const CliOptions& o) { return o.quiet && o.pagesText == "2"; }},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) shown += a + " ";
        SCOPED_TRACE(shown);
        ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
        EXPECT_TRUE(c.holds(parsed.options));
    }
}

TEST(ParseCommandLine, KeywordsIncludingEmptyOnesAndOnesThatStartWithADash) {
    ParsedCommandLine parsed =
        ParseCommandLine({"美食", "", "-", "-p", "2", "旅游", "--", "-k", "--help", "--"});
    ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
    EXPECT_EQ(parsed.options.keywords,
              (std::vector<std::string>{"美食", "", "-", "旅游", "-k", "--help", "--"}));
    EXPECT_EQ(parsed.options.pagesText, "2");
    EXPECT_TRUE(parsed.options.keywordFiles.empty());
}

TEST(ParseCommandLine, BadValuesAreUsageErrorsThatSayWhat) {
    struct Case {
        std::vector<std::string> arguments;
        std::string mentioned;
    } cases[] = {
        {{"-p", "abc"}, "--pages"},
        {{"-p"}, "-p"},
        {{"-t", "0"}, "--threads"},
        {{"-t", "65"}, "--threads"},
        {{"--threads=5x"}, "--threads"},
        {{"-s", "year"}, "--since"},
        {{"-f", "xlsm"}, "--format"},
        {{"-i", "groups"}, "--images"},
        {{"--host", "a/b"}, "--host"},
        {{"--host="}, "--host"},
        {{"--retries", "-1"}, "--retries"},
        {{"--retries", "21"}, "--retries"},
        {{"--proxy", "127.0.0.1:3128"}, "--proxy"},
        {{"--output="}, "--output"},
        {{"--quiet=yes"}, "--quiet"},
        {{"--colour"}, "--colour"},
        {{"-x"}, "-x"},
        {{"-o", "-"}, "-o -"},  // xls cannot go to standard output
        {{"-o", "-", "-f", "csv", "-f", "jsonl"}, "-o -"},
        {{"-o", "-", "-f", "csv", "-i", "all"}, "--images"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mentioned);
        ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, Action::UsageError);
        EXPECT_NE(parsed.error.find(c.mentioned), std::string::npos) << parsed.error;
    }
}

TEST(ParseCommandLine, HelpAndVersionWinOverARun) {
    EXPECT_EQ(ParseCommandLine({"美食", "-h"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"-V", "--help"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version", "-o", "-"}).action, Action::Version);
}

TEST(CliKeywords, ArgumentsAndFilesBecomeTheKeywordBox) {
    EXPECT_EQ(ArgumentKeywords(""), std::vector<std::string>{""});
    EXPECT_EQ(ArgumentKeywords("美食"), std::vector<std::string>{"美食"});
    EXPECT_EQ(ArgumentKeywords(Utf8ToLocal("美食")), std::vector<std::string>{"美食"}) << "GBK bytes decoded";
    EXPECT_EQ(ArgumentKeywords("a\r\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(KeywordLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(KeywordLines("a\n\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(KeywordLines("").empty());
    // Every keyword ends in CR LF, so an empty last one is not dropped by the split.
    EXPECT_EQ(KeywordBoxText({"美食", ""}), Utf8ToLocal("美食") + "\r\n\r\n");
}

TEST(CliWindowPort, CountsFinishedAndFailedRowsAsWorkersWriteThem) {
    std::vector<Text> statuses;
    CliWindowPort port({}, [&](const Text& status) { statuses.push_back(status); });
    RowId a = port.AppendRow("a", "u", "s");
    RowId b = port.AppendRow("b", "u", "s");
    port.SetStatusText(Text(kDetailPhaseText));
    port.SetCell(a, kColumnStatus, Text(kRowWorkingText));
    port.SetCell(b, kColumnStatus, Text(kRowWorkingText));
    EXPECT_EQ(port.Progress().detailsDone, 0u);
    port.SetCell(a, kColumnStatus, Text(kRowDoneText));
    port.SetCell(b, kColumnStatus, Text(kRowFailedText));
    port.SetCell(b, kColumnDescription, "x");
    RunProgress progress = port.Progress();
    EXPECT_EQ(progress.rows, 2u);
    EXPECT_EQ(progress.detailsDone, 2u);
    EXPECT_EQ(progress.detailsFailed, 1u);
    EXPECT_TRUE(progress.detailPhase);
    EXPECT_EQ(CountRunFailures(port).rows, 1u);
    EXPECT_EQ(statuses, std::vector<Text>{Text(kDetailPhaseText)});
    port.ClearRows();
    port.SetCell(a, kColumnStatus, Text(kRowDoneText));  // a row of an earlier run: lands nowhere
    EXPECT_EQ(port.Progress().detailsDone, 0u);
}

TEST(ProgressLine, ShowsPhaseCountsFailuresAndTime) {
    RunProgress searching{.rows = 12};
    EXPECT_EQ(ProgressLine("正在采集关键词：美食1/4   第1页", searching, {}, std::chrono::seconds(5)),
              "正在采集关键词：美食1/4   第1页 | 结果 12 | 失败 0 | 00:05");
    RunProgress details{.rows = 40, .detailsDone = 17, .detailsFailed = 2, .detailPhase = true};
    EXPECT_EQ(ProgressLine("正在采集详细信息,请稍候...", details, {.searchPages = 1, .rows = 2},
                           std::chrono::seconds(125)),
              "正在采集详细信息,请稍候... | 结果 40 | 详细 17/40 | 失败 3 | 02:05");
}

}  // namespace
}  // namespace tollenby::cli
