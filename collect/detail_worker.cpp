#include "collect/detail_worker.h"

#include "collect/collect_texts.h"
#include "collect/detail_page_reader.h"
#include "collect/page_fetch.h"
#include "collect/result_extraction.h"
#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace tollenby {

void RunDetailWorker(RunContext& run, RowId row, std::stop_token cancel) {
    WindowPort& port = run.Port();
    DetailMatcherPool::Lease matchers = run.Matchers().Take();
    port.SetCell(row, kColumnStatus, Text(kRowWorkingText));
    Text address = port.Cell(row, kColumnUrl);
    ByteString body = FetchDetailPage(address, cancel);
    if (cancel.stop_requested()) return;
    DetailFields fields = ReadDetailBody(body, *matchers);

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
