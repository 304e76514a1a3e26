#include "cli/cli_run.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "cli/cli_keywords.h"
#include "cli/interrupts.h"
#include "cli/run_failures.h"
#include "collect/collector.h"
#include "collect/shared_state.h"
#include "export/csv_writer.h"
#include "export/download_job.h"
#include "export/jsonl_writer.h"
#include "export/qr_selection.h"
#include "export/table_export.h"
#include "text/encoding.h"

namespace tollenby::cli {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// Waits for `idle`, redrawing the progress and turning the first Ctrl-C into `stop` (once).
template <typename Idle, typename Stop, typename Progress>
void WaitWatchingInterrupts(Idle idle, Stop stop, Progress tick) {
    bool stopped = false;
    while (!idle()) {
        if (!stopped && InterruptRequested()) {
            stop();
            stopped = true;
        }
        tick();
    }
}

std::string OutputFolderProblem(const std::string& folder) {
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) return "输出文件夹 " + folder + " 不存在";
    if (!std::filesystem::is_directory(folder, error)) return folder + " 不是文件夹";
    return {};
}

// Writes every chosen format; false when one of them could not be written.
bool WriteExports(const CliOptions& options, const std::vector<SpreadsheetRow>& rows, ProgressView& view,
                  std::FILE* standardOutput) {
    if (options.ToStandardOutput()) {
        const std::string name = "标准输出";
        WriteResult result = options.formats[0] == ExportFormat::Csv
                                 ? WriteCsvTo(standardOutput, name, rows, ColumnTitleTexts(),
                                              {.byteOrderMark = options.csvByteOrderMark})
                                 : WriteJsonLinesTo(standardOutput, name, rows);
        if (!result) view.Error("导出失败：" + result.reason);
        return result.ok;
    }
    bool allWritten = true;
    for (ExportFormat format : options.formats) {
        const std::string path = (std::filesystem::path(options.output) / ExportFileName(format)).string();
        WriteResult result = WriteTable(format, rows, path, {.csvByteOrderMark = options.csvByteOrderMark});
        if (result) {
            view.Line("已导出 " + path + "（" + std::to_string(rows.size()) + " 条）");
        } else {
            view.Error("导出失败：" + result.reason);
            allWritten = false;
        }
    }
    return allWritten;
}

DownloadCounts DownloadImages(const CliOptions& options, const ResultRows& rows, ProgressView& view,
                              const RunProgress& collected, const Failures& failures) {
    const std::vector<QrRowTexts> all = QrRowsOf(rows);
    const Text region = Utf8ToLocal(options.images->region);
    const TextArray addresses = SelectQrAddresses(options.images->option, region, all);
    DownloadCounts counts;
    DownloadJobIo io;
    io.retry.extraTries = options.retries;
    io.threads = options.threads;
    io.rows = SelectQrRows(options.images->option, region, all);  // for images.csv
    const std::string folder = options.output;
    io.folder = [folder] { return folder; };
    DownloadJobView jobView;
    jobView.imageStarting = [&view](std::size_t number) { view.Activity(DownloadingLabel(number)); };
    DownloadJobs jobs;
    jobs.Start([&](std::stop_token stop) { counts = RunDownloadJob(addresses, io, jobView, stop); });
    WaitWatchingInterrupts([&] { return jobs.WaitUntilIdle(kPollInterval); }, [&] { jobs.Stop(); },
                           [&] { view.Tick(collected, failures); });
    view.Activity({});  // the final text follows as a line of its own
    view.Finish();
    return counts;
}

}  // namespace

int RunCollection(const CliOptions& options, const std::vector<std::string>& keywords, ProgressView& view,
                  std::FILE* standardOutput) {
    if (!options.ToStandardOutput()) {
        if (std::string problem = OutputFolderProblem(options.output); !problem.empty()) {
            view.Error("导出失败：" + problem);
            return kExitExportFailed;
        }
    }

    CliWindowPort::Controls controls;
    controls.keywordText = KeywordBoxText(keywords);
    controls.pageCountText = Utf8ToLocal(options.pagesText);
    controls.threadCountText = std::to_string(options.threads);
    controls.timeFilter = options.since;
    auto port =
        std::make_shared<CliWindowPort>(controls, [&view](const Text& status) { view.Status(status); });

    SharedState state;
    CollectorOptions collectorOptions;
    if (options.host) collectorOptions.searchHost = Utf8ToLocal(*options.host);
    collectorOptions.completionPause = std::chrono::milliseconds(0);  // no window to hold the text up for
    collectorOptions.fetch.retry.extraTries = options.retries;
    Collector collector(port, state, collectorOptions);
    if (collector.Collect() != CollectOutcome::Started) return kExitUsage;

    Failures failures;
    WaitWatchingInterrupts([&] { return collector.WaitUntilIdle(kPollInterval); }, [&] { collector.Stop(); },
                           [&] {
                               failures = CountRunFailures(*port);
                               view.Tick(port->Progress(), failures);
                           });
    view.Finish();
    failures = CountRunFailures(*port);

    const std::vector<SpreadsheetRow> rows = TableRowsOf(port->Rows());
    bool exported = WriteExports(options, rows, view, standardOutput);

    // After a Ctrl-C no new request is made, so the images are left out.
    if (options.images && !InterruptRequested()) {
        DownloadCounts counts = DownloadImages(options, port->Rows(), view, port->Progress(), failures);
        failures.images = counts.failed;
        if (counts.folderFailure.empty()) {
            view.Line(AnsiToUtf8(DownloadDoneLabel(counts)));
        } else {
            // The folder refused the images: as much an unwritten export as a refused data file.
            view.Error(AnsiToUtf8(DownloadDoneLabel(counts)));
            exported = false;
        }
    }
    if (failures.Total() > 0) view.Line(FailureSummary(failures));
    if (InterruptRequested()) {
        view.Line("已中断：共采集 " + std::to_string(rows.size()) + " 条结果");
        return kInterruptedExitCode;
    }
    if (!exported) return kExitExportFailed;
    return failures.Total() > 0 ? kExitSomeFailed : kExitSuccess;
}

}  // namespace tollenby::cli
