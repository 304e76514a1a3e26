#include "cli/run_failures.h"

namespace tollenby::cli {

Failures CountRunFailures(const CliWindowPort& port) {
    Failures failures;
    if (std::optional<RunSummary> summary = port.Summary()) {
        failures.rows = summary->rowsFailed;
        failures.searchPages = summary->searchPagesFailed;
    } else {
        failures.rows = port.Progress().detailsFailed;
    }
    return failures;
}

std::string FailureSummary(const Failures& failures) {
    return "失败：搜索页 " + std::to_string(failures.searchPages) + " 个，详细页 " +
           std::to_string(failures.rows) + " 条，二维码图片 " + std::to_string(failures.images) + " 个";
}

}  // namespace tollenby::cli
