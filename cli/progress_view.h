// What the command line shows on standard error while it works.
//
// On a terminal: one line, redrawn in place, with the phase, the keyword and page, the rows found, the
// details done, the failures and the time taken. Elsewhere (a log file, a pipe): the window's status
// texts one per line, exactly as its status bar would show them, then one line per export and the
// download's final text. Quiet: nothing but errors. Every text leaves as UTF-8.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "cli/cli_port.h"
#include "text/gbk_text.h"

namespace tollenby::cli {

enum class ProgressMode { Terminal, Lines, Quiet };

struct Failures {
    std::size_t searchPages = 0;
    std::size_t rows = 0;
    std::size_t images = 0;
    std::size_t Total() const { return searchPages + rows + images; }
};

class ProgressView {
  public:
    ProgressView(std::FILE* out, ProgressMode mode);

    // A status text of the run (GBK), from any thread.
    void Status(const Text& status);
    // A passing text (GBK) that only the redrawn terminal line shows, such as the image being fetched.
    void Activity(const Text& text);
    // Redraws the terminal line from the port's counts; nothing in the other modes. Main thread.
    void Tick(const RunProgress& progress, const Failures& failures);
    // A line of its own (UTF-8): an export written or failed, the download's end, the failure counts.
    void Line(const std::string& utf8);
    // An error line, shown in every mode.
    void Error(const std::string& utf8);
    // Ends the redrawn line, if one is showing; on a terminal the last status text then stays as a
    // line of its own (the other modes have shown it already).
    void Finish();

  private:
    void ClearLineLocked();

    std::FILE* out_;
    const ProgressMode mode_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex lock_;
    std::string lastStatus_;  // UTF-8
    bool lineShowing_ = false;
};

// The redrawn line's text, for the given state (pure, so it can be tested).
std::string ProgressLine(const std::string& status, const RunProgress& progress, const Failures& failures,
                         std::chrono::seconds elapsed);

}  // namespace tollenby::cli
