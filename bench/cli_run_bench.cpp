// A 5,000-row headless run: tollenby-cli against the in-process demo site, writing all four formats.
// Prints the wall time and the child's peak memory (maximum resident set) per repetition.
//
//     ./build/bench/cli_run_bench [repetitions]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/demo_content.h"
#include "demo/demo_site.h"

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 3;
    tollenby::demo::DemoSite site;
    if (!site.Start()) return 1;
    const std::vector<std::string> keywords = tollenby::demo::KeywordsFillingFirstPages(5000);
    char pattern[] = "/tmp/cli_run_bench_XXXXXX";
    const std::string folder = ::mkdtemp(pattern);

    std::vector<std::string> arguments = {TOLLENBY_CLI_PATH,
                                          "--host",
                                          site.HostPort(),
                                          "-q",
                                          "-t",
                                          "20",
                                          "-f",
                                          "xls",
                                          "-f",
                                          "xlsx",
                                          "-f",
                                          "csv",
                                          "-f",
                                          "jsonl",
                                          "-o",
                                          folder};
    arguments.insert(arguments.end(), keywords.begin(), keywords.end());
    std::vector<char*> raw;
    for (std::string& a : arguments) raw.push_back(a.data());
    raw.push_back(nullptr);

    std::printf("rows=5000 keywords=%zu formats=xls,xlsx,csv,jsonl threads=20\n", keywords.size());
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = ::fork();
        if (pid == 0) {
            ::execv(raw[0], raw.data());
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("run %d: exit %d, wall %.2f s, peak RSS %.1f MB, data.xlsx %.2f MB\n", i + 1,
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds, usage.ru_maxrss / 1024.0,
                    static_cast<double>(std::filesystem::file_size(folder + "/data.xlsx")) / 1e6);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
