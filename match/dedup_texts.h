// Removal of repeated texts from a text array (the region list at the end of a collection run).
#pragma once

#include <cstddef>

#include "text/gbk_text.h"

namespace tollenby {

// Removes every earlier occurrence of a text that occurs again later, in place: the last occurrence
// of each text survives, the survivors keep their relative order. Texts compare byte for byte, so
// texts that differ only in letter case both stay. Returns the number of texts left.
std::size_t DedupTexts(TextArray& texts);

}  // namespace tollenby
