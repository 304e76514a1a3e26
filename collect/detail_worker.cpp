#include "collect/detail_worker.h"

#include "collect/collect_texts.h"
#include "collect/detail_page_reader.h"
#include "collect/page_fetch.h"
#include "collect/result_extraction.h"
#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace tollenby {

void MarkRowFailed(RunContext& run, RowId row) {
    WindowPort& port = run.Port();
    // No "无" either: nobody knows whether the entry has an ID.
    for (int column = kColumnDescription; column <= kColumnQrImage; ++column)
        port.SetCell(row, column, Text());
    port.SetCell(row, kColumnStatus, Text(kRowFailedText));
    run.CountFailedRow();
}

void RunDetailWorker(RunContext& run, RowId row, std::stop_token cancel) {
    DetailMatcherPool::Lease matchers = run.Matchers().Take();
    RunDetailWorker(run, row, *matchers, cancel);
}

void RunDetailWorker(RunContext& run, RowId row, DetailMatchers& matchers, std::stop_token cancel) {
    WindowPort& port = run.Port();
    port.SetCell(row, kColumnStatus, Text(kRowWorkingText));
    Text address = port.Cell(row, kColumnUrl);
    FetchOutcome page = FetchDetailPage(address, run.Fetch(), cancel);
    if (cancel.stop_requested() || page.verdict == FetchVerdict::Cancelled) return;
    if (!page.Ok()) {
        MarkRowFailed(run, row);
        return;
    }
    DetailFields fields = ReadDetailBody(page.body, matchers);
    if (!fields.complete) {
        MarkRowFailed(run, row);
        return;
    }

    port.SetCell(row, kColumnDescription, fields.description);
    port.SetCell(row, kColumnIndustry, fields.industry);
    port.SetCell(row, kColumnTime, fields.time);
    if (!fields.deleted) run.AppendRegion(fields.region);  // also when empty
    port.SetCell(row, kColumnRegion, fields.region);
    port.SetCell(row, kColumnTags, fields.tags);
    port.SetCell(row, kColumnAccountId, fields.accountId);
    port.SetCell(row, kColumnQrImage, fields.qrImage);
    port.SetCell(row, kColumnStatus, Text(kRowDoneText));
}

}  // namespace tollenby
