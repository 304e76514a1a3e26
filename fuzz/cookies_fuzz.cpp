// Cookie gathering and merging over arbitrary response header blocks and cookie texts. A merged
// text's items hold no spaces, none is deleted or repeated, every name the server set is there, and
// merging nothing into a text whose names differ and are not empty changes nothing.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/gbk_text.h"
#include "web/cookies.h"

namespace {

using namespace tollenby;
using fuzz::Check;

void CheckMerged(const Text& merged) {
    Check(DedupJoin(merged, "; ") == merged, "a merged cookie text repeats an item");
    if (merged.empty()) return;
    std::set<Text> names;
    bool namesDiffer = true;
    for (const Text& item : TextSplit(merged, "; ")) {
        // 0x20 is never part of a two-byte character, so no such byte may remain. (A full-width space
        // can appear anew when removing a space brings two stray A1 bytes together.)
        Check(item.find(' ') == Text::npos, "a merged cookie item holds spaces");
        Check(!item.ends_with("=deleted"), "a merged cookie text keeps a deleted item");
        namesDiffer = names.insert(CookieName(item)).second && namesDiffer;
    }
    // Two items the server set under one name both stay, and so does an empty item (";;"); merging
    // again would keep the first of the two, and a final empty item would lose its separator.
    // Texts that are not GBK (a lead byte that starts no character) can pair up anew when spaces go.
    for (std::size_t at = 0; at < merged.size(); at += CharLength(merged, at)) {
        if (IsLeadByte(merged[at]) && CharLength(merged, at) == 1) return;
    }
    if (!namesDiffer || names.count("") > 0) return;
    Text again = merged;
    Text nothing;
    Check(MergeCookies(again, nothing) == merged && again == merged, "merging nothing changed the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> p = fuzz::Pieces(fuzz::AsBytes(data, size), 2);
    const Text block = NormalizeSetCookieCase(p[0]);
    Check(block.size() == p[0].size() && AsciiLower(block) == AsciiLower(p[0]),
          "NormalizeSetCookieCase changed more than letter case");
    Text newCookies = GatherNewCookies(block);

    Text cookies(CutAtZero(p[1]));  // a text holds no zero byte
    Text merged = MergeCookies(cookies, newCookies);
    Check(merged == cookies, "MergeCookies did not store its result");
    // 0x20 only: removing a space between two stray A1 bytes makes a full-width space anew.
    Check(newCookies.find(' ') == Text::npos, "the new-cookie text kept its spaces");
    CheckMerged(merged);

    // Every name the server set wins over the caller's item of that name.
    std::set<Text> names;
    if (!merged.empty()) {
        for (const Text& item : TextSplit(merged, "; ")) names.insert(CookieName(item));
    }
    for (const Text& item : TextSplit(newCookies, ";")) {
        if (!item.empty() && !item.ends_with("=deleted")) {
            Check(names.count(CookieName(item)) == 1, "a new cookie is missing from the merge");
        }
    }
    Check(DedupJoin(DedupJoin(p[1], ";"), ";") == DedupJoin(p[1], ";"), "DedupJoin is not stable");
    return 0;
}
