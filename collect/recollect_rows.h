// Rows of ResultList that a collection can go back to: those whose detail page could not be read, and
// the regions of the rows that are complete, from which the region box is built anew.
#pragma once

#include <vector>

#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

// Every row whose work-status cell reads "采集失败", in table order.
std::vector<RowId> RowsReadingFailed(WindowPort& port);

// The region cells of the rows that read "采集完成", in table order, the rows of `except` left out:
// what RegionList holds for the rows a re-collection keeps. Rows of deleted entries add none.
TextArray RegionsOfCompleteRows(WindowPort& port, const std::vector<RowId>& except);

}  // namespace tollenby
