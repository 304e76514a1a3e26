// RegexMatcher with arbitrary patterns, subjects and options: no crash, no search over its budget,
// and results that describe the subject: matches in order without overlap, every group inside its
// match's subject, texts equal to the subject's characters at their spans.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
using fuzz::Check;

// Spans are counted afresh for every read, so only the first matches and groups are read whole.
constexpr int kMatchesLookedAt = 64;
constexpr int kGroupsLookedAt = 16;

// Texts come back as GBK, so a span's characters are compared in that form (an invalid byte of the
// subject reads back as "?").
void CheckResults(const RegexMatcher& m, const std::u16string& subject, bool global) {
    Check(m.MatchCount() >= 0, "negative match count");
    Check(global || m.MatchCount() <= 1, "more than one match without global");
    std::size_t lastEnd = 0;
    for (int k = 1; k <= m.MatchCount(); ++k) {
        std::optional<CharSpan> whole = m.SubmatchSpan(k, 0);
        Check(whole.has_value(), "a match without a span");
        Check(whole->begin <= whole->end && whole->end <= subject.size(), "a match outside the subject");
        Check(k == 1 || whole->begin >= lastEnd, "matches overlap or go backwards");
        lastEnd = whole->end;
        if (k > kMatchesLookedAt) continue;
        std::u16string expected = subject.substr(whole->begin, whole->end - whole->begin);
        Check(m.MatchText(k) == Utf16ToGbk(expected), "a match text differs from its span");
        for (int g = 1; g <= kGroupsLookedAt; ++g) {
            std::optional<CharSpan> group = m.SubmatchSpan(k, g);
            if (!group) {
                Check(m.SubmatchText(k, g).empty(), "a group without a span has text");
                continue;
            }
            Check(group->begin <= group->end && group->end <= subject.size(), "a group outside the subject");
            std::u16string text = subject.substr(group->begin, group->end - group->begin);
            Check(m.SubmatchText(k, g) == Utf16ToGbk(text), "a group text differs from its span");
        }
    }
    Check(m.SubmatchText(m.MatchCount() + 1, 1).empty() && m.SubmatchText(0, 1).empty(),
          "a match number out of range has text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::Options options = fuzz::TakeOptions(fuzz::AsBytes(data, size));
    std::vector<std::string_view> p = fuzz::Pieces(options.rest, 2);
    const std::string_view pattern = p[0];
    const Text subject(CutAtZero(p[1]));
    // Bits 0 to 3: case-sensitive, not multiline, global, quote marker; no bits at all: the defaults.
    const bool caseSensitive = options.Bit(0);
    const bool multiline = !options.Bit(1);
    const bool global = options.bits == 0 || options.Bit(2);
    const bool quoteMarker = options.Bit(3);
    RegexMatcher m;
    bool found = false;
    fuzz::WithinSearchBudget(
        1, [&] { found = m.Search(pattern, subject, caseSensitive, multiline, global, quoteMarker); });
    if (!found) {
        Check(m.MatchCount() == 0 && m.SubmatchText(1, 1).empty(), "a failed search kept results");
        return 0;
    }
    CheckResults(m, GbkToUtf16(subject), global);
    // The same object searches again from a clean state.
    fuzz::WithinSearchBudget(1, [&] { m.Search(pattern, subject, caseSensitive, multiline, global); });
    return 0;
}
