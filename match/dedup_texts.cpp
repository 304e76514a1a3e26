#include "match/dedup_texts.h"

#include <string_view>
#include <unordered_set>
#include <vector>

namespace tollenby {

std::size_t DedupTexts(TextArray& texts) {
    // Walk from the last position down, so the first time a text is seen is its last occurrence.
    std::unordered_set<std::string_view> seen;
    seen.reserve(texts.size());
    std::vector<bool> keep(texts.size(), false);
    for (std::size_t i = texts.size(); i-- > 0;) keep[i] = seen.insert(texts[i]).second;
    seen.clear();  // its views point into the texts, which move below

    std::size_t kept = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!keep[i]) continue;
        if (kept != i) texts[kept] = std::move(texts[i]);
        ++kept;
    }
    texts.resize(kept);
    texts.shrink_to_fit();
    return kept;
}

}  // namespace tollenby
