// The command line of tollenby-cli, read into settings by a pure function (no I/O), so every option,
// bad value and keyword can be checked without running anything.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "collect/window_port.h"
#include "export/table_export.h"

namespace tollenby::cli {

inline constexpr int kDefaultPages = 1;
inline constexpr int kDefaultThreads = 5;
inline constexpr int kMaxThreads = 64;
inline constexpr int kDefaultRetries = 2;
inline constexpr int kMaxRetries = 20;

struct ImageChoice {
    ExportOption option = ExportOption::AllQrCodes;  // never Spreadsheet
    std::string region;                              // UTF-8, for ByRegion; may be empty
};

struct CliOptions {
    std::vector<std::string> keywords;      // the arguments, as given (bytes)
    std::vector<std::string> keywordFiles;  // -k, in order; "-" is standard input
    std::string pagesText = "1";            // as the page-count box would hold it
    int threads = kDefaultThreads;
    TimeFilter since = TimeFilter::AllTime;
    std::string output = ".";           // a folder, or "-" for standard output
    std::vector<ExportFormat> formats;  // in the order first given; xls when none was
    std::optional<ImageChoice> images;
    std::optional<std::string> host;  // HOST[:PORT]
    int retries = kDefaultRetries;
    std::optional<std::string> proxy;  // a proxy URL
    bool csvByteOrderMark = true;
    bool quiet = false;

    bool ToStandardOutput() const { return output == "-"; }
};

struct ParsedCommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    CliOptions options;
    std::string error;  // for UsageError: what was wrong, in Chinese, UTF-8
};

// `arguments` without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tollenby::cli
