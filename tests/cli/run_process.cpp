#include "tests/cli/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tollenby::testing {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A fresh folder for the process's three streams, removed afterwards.
struct StreamFiles {
    StreamFiles() {
        char pattern[] = "/tmp/tollenby-cli-io-XXXXXX";
        folder = ::mkdtemp(pattern);
    }
    ~StreamFiles() { std::filesystem::remove_all(folder); }
    std::string folder;
};

}  // namespace

std::string CliPath() {
    return TOLLENBY_CLI_PATH;
}

ProcessResult RunCli(const ProcessLaunch& launch) {
    StreamFiles files;
    const std::string inPath = files.folder + "/in", outPath = files.folder + "/out",
                      errPath = files.folder + "/err";
    std::ofstream(inPath, std::ios::binary) << launch.input;

    std::vector<std::string> argv = {CliPath()};
    argv.insert(argv.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> rawArgv;
    for (std::string& a : argv) rawArgv.push_back(a.data());
    rawArgv.push_back(nullptr);

    // Everything the child needs is made here: between fork and exec in a process with threads only
    // async-signal-safe calls may run.
    std::vector<std::string> environment;
    auto named = [](const std::string& pair, const std::string& name) {
        return pair.compare(0, name.size() + 1, name + "=") == 0;
    };
    for (char** entry = environ; *entry; ++entry) {
        std::string pair = *entry;
        bool dropped = false;
        for (const std::string& name : launch.unsetEnvironment) dropped = dropped || named(pair, name);
        for (const std::string& added : launch.environment)
            dropped = dropped || named(pair, added.substr(0, added.find('=')));
        if (!dropped) environment.push_back(pair);
    }
    environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
    std::vector<char*> rawEnvironment;
    for (std::string& pair : environment) rawEnvironment.push_back(pair.data());
    rawEnvironment.push_back(nullptr);

    const int in = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const char* directory = launch.workingDirectory.empty() ? nullptr : launch.workingDirectory.c_str();
    pid_t pid = ::fork();
    if (pid == 0) {
        if (directory && ::chdir(directory) != 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(rawArgv[0], rawArgv.data(), rawEnvironment.data());
        ::_exit(127);
    }
    ::close(in);
    ::close(out);
    ::close(err);
    ProcessResult result;
    if (pid < 0) return result;
    if (launch.whileRunning) launch.whileRunning(pid);

    const auto deadline = std::chrono::steady_clock::now() + launch.timeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.out = Slurp(outPath);
            result.err = Slurp(errPath);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.exited = WIFEXITED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    return result;
}

}  // namespace tollenby::testing
