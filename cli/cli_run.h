// One command-line run: collection through the same Collector and SearchJob as the window, then the
// chosen exports and the QR image download, with progress and the exit code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/progress_view.h"

namespace tollenby::cli {

// The exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSomeFailed = 1;  // the run finished, but pages, rows or images failed
inline constexpr int kExitUsage = 2;
inline constexpr int kExitExportFailed = 3;  // a data file could not be written
// 130, interrupted: kInterruptedExitCode in cli/interrupts.h.

// Runs collection for `keywords` (UTF-8, at least one) with `options`, writes the exports (to
// `standardOutput` for "-o -") and returns the exit code. The proxy route must be set before.
int RunCollection(const CliOptions& options, const std::vector<std::string>& keywords, ProgressView& view,
                  std::FILE* standardOutput);

}  // namespace tollenby::cli
