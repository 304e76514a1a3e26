// The regular-expression object through which every page field is extracted.
//
// Patterns are written in the ECMAScript dialect (lazy `.*?`, `.` stopping at CR and LF, `[\s\S]` for
// anything). Texts in and out are GBK; the engine (PCRE2, UTF-8 mode) sees their UTF-8 form, so a
// two-byte GBK character is one character for `.`.
//
// One object belongs to one thread at a time; many objects may work on many threads at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/gbk_text.h"

namespace tollenby {

// The most time one Search may spend matching. A pattern that backtracks longer than this on a
// subject (hostile or broken page) gives up, and the search counts as failed.
inline constexpr std::chrono::milliseconds kRegexSearchBudget{250};

class RegexMatcher {
  public:
    RegexMatcher();
    ~RegexMatcher();
    RegexMatcher(RegexMatcher&&) noexcept;
    RegexMatcher& operator=(RegexMatcher&&) noexcept;
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    // Runs `pattern` over the whole `subject` and keeps every match (only the leftmost unless global).
    // With quoteMarker every "#引号" in the pattern stands for a double quote. Returns false when the
    // pattern is rejected, matching fails or the time budget runs out; the results of the previous
    // search are gone either way. A pattern that never matches gives true and a count of 0.
    bool Search(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                bool multiline = true, bool global = true, bool quoteMarker = false);

    // The same search over a subject already in UTF-8: the form AnsiToUtf8 (or Utf8ThroughGbk) gives of a
    // GBK text, so every character is one GBK can hold. A caller that reads several fields of one page
    // converts it once. The subject must be valid UTF-8, as those routines make it: it is not checked
    // again. Texts handed out afterwards are GBK as usual.
    bool SearchUtf8(std::string_view pattern, std::string_view utf8Subject, bool caseSensitive = false,
                    bool multiline = true, bool global = true, bool quoteMarker = false);

    // Number of matches of the last search; 0 before the first and after a failed one.
    int MatchCount() const { return matchCount_; }

    // The whole text of match matchNo (from 1); empty when out of range.
    Text MatchText(int matchNo) const;

    // The text group groupNo (from 1) captured in match matchNo (from 1); empty when out of range or
    // when the group took no part in that match. Group 0 is not reachable here.
    Text SubmatchText(int matchNo, int groupNo) const;

  private:
    struct Engine;  // the PCRE2 handles, kept out of this header

    bool Run(std::string_view pattern, std::string utf8, bool caseSensitive, bool multiline, bool global,
             bool quoteMarker);
    void ClearResults();
    Text Piece(int matchNo, int groupNo) const;

    std::unique_ptr<Engine> engine_;
    std::string subject_;               // UTF-8 form of the last subject
    std::vector<std::size_t> offsets_;  // per match, start and end of group 0..groupCount_
    int groupCount_ = 0;
    int matchCount_ = 0;
};

}  // namespace tollenby
