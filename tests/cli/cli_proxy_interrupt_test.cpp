// tollenby-cli through a proxy of the test's own, and interrupted by Ctrl-C (SIGINT) mid-run.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_test_support.h"
#include "tests/cli/loopback_proxy.h"
#include "tests/cli/run_process.h"
#include "tests/export/xls_readback.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using testing::Row;

const std::vector<std::string> kProxyVariables = {"http_proxy",  "https_proxy", "all_proxy", "no_proxy",
                                                  "HTTPS_PROXY", "ALL_PROXY",   "NO_PROXY"};

// Every request the site saw arrived through the proxy (whose request lines are `seen`), as an
// absolute-form request line, and the proxy relayed nothing else.
void ExpectAllThroughProxy(const demo::DemoSite& site, const std::vector<std::string>& seen) {
    std::vector<std::string> served = site.RequestTargets();
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(seen.size(), served.size());
    for (const std::string& target : served) {
        const std::string line = "GET " + site.BaseUrl() + target + " HTTP/1.1";
        EXPECT_NE(std::find(seen.begin(), seen.end(), line), seen.end()) << line;
    }
}

TEST(CliProxy, EveryRequestPassesTheGivenProxyOrTheOneInTheEnvironment) {
    demo::DemoSite site;
    ASSERT_TRUE(site.Start());
    testing::ScratchDir dir;
    const std::vector<std::string> base = {
        "--host", site.HostPort(), "-i", "all", "-o", dir.Path(), testing::KeywordWithAllImages(site)};
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> environment;
        bool throughProxy;
    };
    testing::LoopbackProxy proxy;
    ASSERT_TRUE(proxy.Start());
    const Case cases[] = {
        {"--proxy", {"--proxy", proxy.Url()}, {"no_proxy=127.0.0.1"}, true},
        {"http_proxy", {}, {"http_proxy=" + proxy.Url()}, true},
        {"no proxy at all", {}, {}, false},
    };
    std::size_t linesBefore = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        site.ResetRecords();
        testing::ProcessLaunch launch;
        launch.arguments = c.arguments;
        launch.arguments.insert(launch.arguments.end(), base.begin(), base.end());
        launch.unsetEnvironment = kProxyVariables;
        launch.environment = c.environment;
        testing::ProcessResult result = testing::RunCli(launch);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        if (c.throughProxy) {
            std::vector<std::string> lines = proxy.RequestLines();
            ExpectAllThroughProxy(
                site, std::vector<std::string>(lines.begin() + static_cast<long>(linesBefore), lines.end()));
        } else {
            EXPECT_EQ(proxy.RequestLines().size(), linesBefore) << "the proxy saw nothing";
        }
        linesBefore = proxy.RequestLines().size();
    }
}

TEST(CliInterrupt, FirstCtrlCStopsAndExportsWhatWasCollected) {
    demo::DemoSite site;
    ASSERT_TRUE(site.Start());
    site.SetLatency(100ms);
    testing::ScratchDir dir;
    const std::vector<std::string> keywords = {"美食", "旅游", "宠物"};
    testing::ProcessLaunch launch;
    launch.arguments = {"--host", site.HostPort(), "-p", "3", "-t", "2", "-f", "csv", "-o", dir.Path()};
    launch.arguments.insert(launch.arguments.end(), keywords.begin(), keywords.end());
    launch.unsetEnvironment = kProxyVariables;
    launch.timeout = 60s;
    launch.whileRunning = [&](pid_t pid) {
        site.WaitForRequests(3, 20s);  // some search pages in
        ::kill(pid, SIGINT);
    };
    testing::ProcessResult result = testing::RunCli(launch);
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.err.find("已中断"), std::string::npos) << result.err;

    std::string error;
    std::vector<Row> rows = testing::ReadRows("csv", dir.File("data.csv"), error);
    ASSERT_EQ(error, "");
    const std::vector<Row> all = testing::ExpectedRows(testing::ExpectedEntries(site, keywords, 3));
    ASSERT_FALSE(rows.empty());
    EXPECT_LT(rows.size(), all.size()) << "stopped before the end";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // The listed columns are the site's; a row whose detail worker had not started stays unfinished.
        EXPECT_EQ(std::vector<std::string>(rows[i].begin(), rows[i].begin() + 4),
                  std::vector<std::string>(all[i].begin(), all[i].begin() + 4));
        EXPECT_TRUE(rows[i][11].empty() || rows[i] == all[i]) << "row " << i << " is whole or untouched";
    }
}

TEST(CliInterrupt, SecondCtrlCEndsAtOnceWithoutWriting) {
    demo::DemoSite site;
    ASSERT_TRUE(site.Start());
    // Detail pages never answer: the first Ctrl-C waits for the workers in flight.
    site.PauseResponses([](const std::string& target) { return target.rfind("/detail/", 0) == 0; });
    testing::ScratchDir dir;
    testing::ProcessLaunch launch;
    launch.arguments = {"--host", site.HostPort(), "-o", dir.Path(), "美食"};
    launch.unsetEnvironment = kProxyVariables;
    launch.timeout = 20s;
    std::chrono::steady_clock::time_point secondAt;
    launch.whileRunning = [&](pid_t pid) {
        site.WaitForInFlight(1, 20s);
        ::kill(pid, SIGINT);
        std::this_thread::sleep_for(300ms);
        secondAt = std::chrono::steady_clock::now();
        ::kill(pid, SIGINT);
    };
    testing::ProcessResult result = testing::RunCli(launch);
    const auto took = std::chrono::steady_clock::now() - secondAt;
    site.ResumeResponses();
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(result.exitCode, 130);
    EXPECT_LT(took, 3s);
    EXPECT_FALSE(std::filesystem::exists(dir.File("data.xls"))) << "nothing written after the second";
}

}  // namespace
}  // namespace tollenby
