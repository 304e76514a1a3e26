// What of a command-line run failed, for the last lines and the exit code.
#pragma once

#include <string>
#include <string_view>

#include "cli/cli_port.h"
#include "cli/progress_view.h"

namespace tollenby::cli {

// The work status of a row whose detail page could not be read ("采集失败"), GBK.
inline constexpr std::string_view kRowFailedText = "\xB2\xC9\xBC\xAF\xCA\xA7\xB0\xDC";

// The failures the port has seen so far: rows marked failed. Search pages that failed are not yet
// known to any front end; they count once the run reports them.
Failures CountRunFailures(const CliWindowPort& port);

// "失败：搜索页 a 个，详细页 b 条，二维码图片 c 个".
std::string FailureSummary(const Failures& failures);

}  // namespace tollenby::cli
