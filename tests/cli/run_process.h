// Running build/tollenby-cli from a test: arguments, extra environment, standard input, and what came
// out, with a bound on the time it may take.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tollenby::testing {

struct ProcessResult {
    bool exited = false;  // ended by itself (not killed for taking too long)
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

struct ProcessLaunch {
    std::vector<std::string> arguments;         // without the program
    std::vector<std::string> environment;       // NAME=VALUE, added to (or replacing in) ours
    std::vector<std::string> unsetEnvironment;  // names removed
    std::string input;                          // standard input
    std::string workingDirectory;               // empty: ours
    std::chrono::milliseconds timeout{60000};
    // Called once the process runs, with its id (to send it signals); runs on the calling thread.
    std::function<void(pid_t)> whileRunning;
};

// The program under test.
std::string CliPath();

ProcessResult RunCli(const ProcessLaunch& launch);

}  // namespace tollenby::testing
