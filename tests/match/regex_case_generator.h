// Random regular-expression cases in the dialect the page patterns are written in, and a little
// beyond: literals (CJK, full-width, Greek and Cyrillic letters, CR and LF as characters and as
// escapes), `.`, `[\s\S]`, classes, `\d \w \s \b` and their negations, greedy and lazy quantifiers,
// alternation, capturing and non-capturing groups, look-aheads, back-references, `^ $`; subjects rich
// in CR, LF, CR LF, U+3000, CJK and emoji. The same seed always gives the same cases.
#pragma once

#include <cstdint>
#include <string>

namespace tollenby::testing {

struct RegexCase {
    std::u16string pattern;
    std::u16string subject;
    bool ignoreCase = false;
    bool multiline = false;
    bool global = false;
};

class RegexCaseGenerator {
  public:
    // With allConstructs, groups that can match empty, or that hold captures, may repeat more than
    // once; ECMAScript and PCRE2 part ways there on purpose (see CONTRIBUTING.md), so the default
    // leaves those repetitions out.
    RegexCaseGenerator(std::uint64_t seed, bool allConstructs)
        : state_(seed), allConstructs_(allConstructs) {}
    RegexCase Next();

  private:
    struct Piece {
        std::u16string text;
        bool unbounded = false;    // holds a quantifier without an upper bound
        bool alternation = false;  // holds a "|"
        bool nullable = false;     // can match the empty text
        bool captures = false;     // holds a capturing group
    };

    std::uint64_t Random();
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Random() % n); }
    bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }

    Piece Alternation(int depth);
    Piece Sequence(int depth);
    Piece Term(int depth);
    Piece Atom(int depth);
    std::u16string Literal();
    std::u16string Class();
    std::u16string Quantifier(bool unboundedAllowed, bool atMostOnce, bool& unbounded);
    std::u16string Subject();

    std::uint64_t state_;
    bool allConstructs_;
    int groups_ = 0;
    std::u16string literals_;  // characters the pattern names, so that subjects can hold them
};

}  // namespace tollenby::testing
