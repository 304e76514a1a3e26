// What of a command-line run failed, for the last lines and the exit code.
#pragma once

#include <string>
#include <string_view>

#include "cli/cli_port.h"
#include "cli/progress_view.h"

namespace tollenby::cli {

// The failures of the run: once it has ended, its own counts of failed rows and search pages; before
// that, the rows the port has seen marked failed.
Failures CountRunFailures(const CliWindowPort& port);

// "失败：搜索页 a 个，详细页 b 条，二维码图片 c 个".
std::string FailureSummary(const Failures& failures);

}  // namespace tollenby::cli
