// ECMAScript's treatment of CR and LF as two line terminators, back-references that refer to a group
// not yet set, and the spans of matches and groups. Each case here was a disagreement with V8 that the
// differential test found (the pattern as it found it, trimmed).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "match/regex_matcher.h"
#include "text/encoding.h"

namespace tollenby {
namespace {

// Every match's span as "begin-end", in characters.
std::vector<std::string> Spans(const RegexMatcher& m, int group = 0) {
    std::vector<std::string> spans;
    for (int k = 1; k <= m.MatchCount(); ++k) {
        std::optional<CharSpan> s = m.SubmatchSpan(k, group);
        spans.push_back(s ? std::to_string(s->begin) + "-" + std::to_string(s->end) : "unset");
    }
    return spans;
}

TEST(RegexLineBreaks, AMatchMayStartBetweenCarriageReturnAndLineFeed) {
    RegexMatcher m;
    // The engine would skip the place between CR and LF when a pattern names neither.
    ASSERT_TRUE(m.Search("\\B", "9\r\n0"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"2-2"}));
    ASSERT_TRUE(m.Search("[^z]a", "a\r\na"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"2-4"}));
    ASSERT_TRUE(m.Search("[^b]x", "x\r\nx", false, true, /*global=*/false));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"2-4"}));
}

TEST(RegexLineBreaks, AnchorsMeetEitherTerminatorOfACarriageReturnLineFeedPair) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("^", "a\r\nb"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"0-0", "2-2", "3-3"}));
    ASSERT_TRUE(m.Search("$", "a\r\nb"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"1-1", "2-2", "4-4"}));
    ASSERT_TRUE(m.Search("^b$", "a\rb\rc"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"2-3"}));
    // Without multiline they stay the ends of the subject.
    ASSERT_TRUE(m.Search("^|$", "a\r\nb", false, /*multiline=*/false));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"0-0", "4-4"}));
    // Inside a class and escaped they are characters.
    ASSERT_TRUE(m.Search("[$^]\\^\\$", "$^$"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"0-3"}));
}

TEST(RegexLineBreaks, DotStillStopsAtEveryTerminatorButNotAtOtherCharacters) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search(".+", Utf8ToLocal("中\r文\n\t\x0B\x0C　")));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"0-1", "2-3", "4-8"}));
    ASSERT_TRUE(m.Search("[.]", "a.b"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"1-2"}));
}

TEST(RegexBackReferences, ARepeatedReferenceToAnUnsetGroupMatchesEmpty) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("\\1{1,3}?|()", "ab", true));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"0-0", "1-1", "2-2"}));
    EXPECT_EQ(Spans(m, 1), (std::vector<std::string>{"unset", "unset", "unset"}));
    ASSERT_TRUE(m.Search("(\\1+_)", "_"));
    EXPECT_EQ(Spans(m, 1), (std::vector<std::string>{"0-1"}));
    // A reference still compares: "(a)\1+" needs the letter again.
    ASSERT_TRUE(m.Search("(a)\\1+", "a aaa"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"2-5"}));
    // Two digits with fewer groups are an octal escape and a digit, so the quantifier takes the digit.
    ASSERT_TRUE(m.Search("()x\\199*?", "x9 x\x01\x39"));
    EXPECT_EQ(Spans(m), (std::vector<std::string>{"3-6"}));
}

TEST(RegexMatcherSpans, SpansCountCharactersAndTellUnsetFromEmpty) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("(x)|(y)()", Utf8ToLocal("中文y")));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchCount(), 3);
    EXPECT_EQ(m.SubmatchSpan(1, 0), (CharSpan{2, 3}));
    EXPECT_EQ(m.SubmatchSpan(1, 1), std::nullopt);
    EXPECT_EQ(m.SubmatchSpan(1, 2), (CharSpan{2, 3}));
    EXPECT_EQ(m.SubmatchSpan(1, 3), (CharSpan{3, 3}));
    for (auto [matchNo, groupNo] : {std::pair{0, 0}, std::pair{2, 0}, std::pair{1, 4}, std::pair{1, -1}}) {
        EXPECT_EQ(m.SubmatchSpan(matchNo, groupNo), std::nullopt) << matchNo << "," << groupNo;
    }
    ASSERT_TRUE(m.Search("z", "abc"));
    EXPECT_EQ(m.SubmatchCount(), 0);
}

}  // namespace
}  // namespace tollenby
