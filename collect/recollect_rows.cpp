#include "collect/recollect_rows.h"

#include <algorithm>

#include "collect/collect_texts.h"

namespace tollenby {

std::vector<RowId> RowsReadingFailed(WindowPort& port) {
    std::vector<RowId> rows;
    const std::size_t count = port.RowCount();
    for (std::size_t position = 0; position < count; ++position) {
        RowId row = port.RowAt(position);
        if (row != kNoRow && port.Cell(row, kColumnStatus) == kRowFailedText) rows.push_back(row);
    }
    return rows;
}

TextArray RegionsOfCompleteRows(WindowPort& port, const std::vector<RowId>& except) {
    TextArray regions;
    std::vector<RowId> left(except);
    std::sort(left.begin(), left.end());
    const std::size_t count = port.RowCount();
    for (std::size_t position = 0; position < count; ++position) {
        RowId row = port.RowAt(position);
        if (row == kNoRow || std::binary_search(left.begin(), left.end(), row)) continue;
        if (port.Cell(row, kColumnStatus) != kRowDoneText) continue;
        // A deleted entry's row adds no region, as when its worker read it.
        Text region = port.Cell(row, kColumnRegion);
        if (region != kDeletedMarker) regions.push_back(std::move(region));
    }
    return regions;
}

}  // namespace tollenby
