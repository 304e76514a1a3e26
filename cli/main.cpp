// tollenby-cli: the collection and its exports from a terminal, with no window.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_help.h"
#include "cli/cli_keywords.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/interrupts.h"
#include "cli/progress_view.h"
#include "collect/collect_texts.h"
#include "text/encoding.h"
#include "web/fetch_control.h"
#include "web/proxy_route.h"

namespace {

using namespace tollenby;
using namespace tollenby::cli;

int Main(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    switch (parsed.action) {
        case ParsedCommandLine::Action::Help:
            std::fputs(HelpText().c_str(), stdout);
            return kExitSuccess;
        case ParsedCommandLine::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return kExitSuccess;
        case ParsedCommandLine::Action::UsageError:
            std::fprintf(stderr, "tollenby-cli：%s\n请用 tollenby-cli --help 查看用法。\n",
                         parsed.error.c_str());
            return kExitUsage;
        case ParsedCommandLine::Action::Run:
            break;
    }
    const CliOptions& options = parsed.options;
    const ProgressMode mode = options.quiet                  ? ProgressMode::Quiet
                              : ::isatty(STDERR_FILENO) == 1 ? ProgressMode::Terminal
                                                             : ProgressMode::Lines;
    ProgressView view(stderr, mode);

    GatheredKeywords gathered = GatherKeywords(options, stdin);
    if (!gathered.error.empty()) {
        view.Error(gathered.error);
        return kExitUsage;
    }
    if (gathered.keywords.empty()) {
        view.Error(AnsiToUtf8(kNoKeywordsMessage));
        return kExitUsage;
    }

    // Before any thread that fetches starts.
    if (!InitHttp()) {
        view.Error("无法初始化网络库");
        return kExitSomeFailed;
    }
    SetProcessProxyRoute(options.proxy ? ProxyRoute{ProxyRoute::Kind::Explicit, *options.proxy}
                                       : ProxyRoute{ProxyRoute::Kind::Environment, {}});
    return RunCollection(options, gathered.keywords, view, stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (| head) makes writes fail with a reason instead of ending the process.
    ::signal(SIGPIPE, SIG_IGN);
    InstallInterruptHandler();
    try {
        return Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tollenby-cli：内部错误：%s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "tollenby-cli：内部错误\n");
    }
    return kExitSomeFailed;
}
