#include "match/regex_matcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "text/encoding.h"

namespace tollenby {
namespace {

// Test texts are written in UTF-8 and turned into the GBK texts the matcher works on.
Text G(std::string_view utf8) {
    return Utf8ToLocal(utf8);
}

TEST(RegexMatcher, ReadsBeforeAnySearchAreEmpty) {
    RegexMatcher m;
    EXPECT_EQ(m.MatchCount(), 0);
    EXPECT_EQ(m.SubmatchText(1, 1), "");
    EXPECT_EQ(m.MatchText(1), "");
}

TEST(RegexMatcher, NoMatchIsASuccessfulSearchWithNoMatches) {
    RegexMatcher m;
    EXPECT_TRUE(m.Search("<b>(.*?)</b>", "no bold here"));
    EXPECT_EQ(m.MatchCount(), 0);
    EXPECT_EQ(m.SubmatchText(1, 1), "");
}

TEST(RegexMatcher, NumbersOutsideTheResultsGiveEmptyText) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("<b>(.)(.)</b>", "<b>xy</b> <b>zw</b>"));
    ASSERT_EQ(m.MatchCount(), 2);
    EXPECT_EQ(m.SubmatchText(1, 1), "x");
    EXPECT_EQ(m.SubmatchText(2, 2), "w");
    EXPECT_EQ(m.MatchText(2), "<b>zw</b>");
    struct Case {
        int matchNo;
        int groupNo;
    };
    for (Case c : {Case{0, 1}, Case{3, 1}, Case{-1, 1}, Case{1, 0}, Case{1, 3}, Case{1, -1}}) {
        EXPECT_EQ(m.SubmatchText(c.matchNo, c.groupNo), "") << c.matchNo << "," << c.groupNo;
    }
    EXPECT_EQ(m.MatchText(0), "");
    EXPECT_EQ(m.MatchText(3), "");
}

TEST(RegexMatcher, GroupThatTookNoPartIsEmptyInThatMatchOnly) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("(a)?(b)", "b ab"));
    ASSERT_EQ(m.MatchCount(), 2);
    EXPECT_EQ(m.SubmatchText(1, 1), "");
    EXPECT_EQ(m.SubmatchText(1, 2), "b");
    EXPECT_EQ(m.SubmatchText(2, 1), "a");
    EXPECT_EQ(m.SubmatchText(2, 2), "b");
}

TEST(RegexMatcher, RejectedPatternClearsThePreviousResults) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("(x)", "x x"));
    ASSERT_EQ(m.MatchCount(), 2);
    for (std::string_view bad : {"(", "a)", "[b", "x{2,1}", "a**"}) {
        EXPECT_FALSE(m.Search(bad, "x x")) << bad;
        EXPECT_EQ(m.MatchCount(), 0);
        EXPECT_EQ(m.SubmatchText(1, 1), "");
        EXPECT_EQ(m.MatchText(1), "");
    }
    // The object is usable again afterwards.
    EXPECT_TRUE(m.Search("(x)", "x"));
    EXPECT_EQ(m.SubmatchText(1, 1), "x");
}

TEST(RegexMatcher, DotStopsAtCarriageReturnAndLineFeedButAnyClassCrossesThem) {
    RegexMatcher m;
    const Text subject = "<t>ab\r\ncd</t>";
    ASSERT_TRUE(m.Search("<t>(.*?)</t>", subject));
    EXPECT_EQ(m.MatchCount(), 0);
    ASSERT_TRUE(m.Search("<t>([\\s\\S]*?)</t>", subject));
    EXPECT_EQ(m.SubmatchText(1, 1), "ab\r\ncd");
    for (std::string_view lone : {"a\rb", "a\nb"}) {
        ASSERT_TRUE(m.Search("a.b", lone));
        EXPECT_EQ(m.MatchCount(), 0) << "dot crossed a lone line break";
    }
}

TEST(RegexMatcher, LetterCaseIsIgnoredUnlessAsked) {
    RegexMatcher m;
    const Text subject = "<SPAN>One</Span><span>two</span>";
    ASSERT_TRUE(m.Search("<span>(.*?)</span>", subject));
    ASSERT_EQ(m.MatchCount(), 2);
    EXPECT_EQ(m.SubmatchText(1, 1), "One");
    ASSERT_TRUE(m.Search("<span>(.*?)</span>", subject, /*caseSensitive=*/true));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchText(1, 1), "two");
}

TEST(RegexMatcher, TwoObjectsOnOnePagePairByMatchNumber) {
    const Text page = "<h>A</h><s>1</s><h>B</h><h>C</h><s>2</s>";
    RegexMatcher titles;
    RegexMatcher sources;
    ASSERT_TRUE(titles.Search("<h>(.*?)</h>", page));
    ASSERT_TRUE(sources.Search("<s>(.*?)</s>", page));
    ASSERT_EQ(titles.MatchCount(), 3);
    ASSERT_EQ(sources.MatchCount(), 2);
    std::vector<std::string> paired;
    for (int k = 1; k <= titles.MatchCount(); ++k) {
        paired.push_back(titles.SubmatchText(k, 1) + "/" + sources.SubmatchText(k, 1));
    }
    EXPECT_EQ(paired, (std::vector<std::string>{"A/1", "B/2", "C/"}));
}

TEST(RegexMatcher, QuoteMarkerStandsForADoubleQuoteOnlyWhenAsked) {
    RegexMatcher m;
    const Text pattern = G("href=#引号(.*?)#引号");
    const Text quoted = "<a href=\"/x/1\">";
    ASSERT_TRUE(m.Search(pattern, quoted));
    EXPECT_EQ(m.MatchCount(), 0);
    ASSERT_TRUE(m.Search(pattern, quoted, false, true, true, /*quoteMarker=*/true));
    EXPECT_EQ(m.SubmatchText(1, 1), "/x/1");
    // Without the option the marker is an ordinary piece of text.
    ASSERT_TRUE(m.Search(pattern, G("href=#引号abc#引号")));
    EXPECT_EQ(m.SubmatchText(1, 1), "abc");
}

std::vector<Text> AllMatches(const RegexMatcher& m) {
    std::vector<Text> all;
    for (int k = 1; k <= m.MatchCount(); ++k) all.push_back(m.MatchText(k));
    return all;
}

TEST(RegexMatcher, GlobalMatchingAdvancesOneCharacterAfterAnEmptyMatch) {
    RegexMatcher m;
    // As "axxb".match(/x*/g) in ECMAScript: "", "xx", "", "".
    ASSERT_TRUE(m.Search("x*", "axxb"));
    EXPECT_EQ(AllMatches(m), (std::vector<Text>{"", "xx", "", ""}));
    // The step after an empty match is a whole two-byte character.
    ASSERT_TRUE(m.Search("x*", G("中x")));
    EXPECT_EQ(AllMatches(m), (std::vector<Text>{"", "x", ""}));
    ASSERT_TRUE(m.Search("x*", "axxb", false, true, /*global=*/false));
    EXPECT_EQ(AllMatches(m), (std::vector<Text>{""}));
    // Matches do not overlap; each attempt starts where the previous match ended.
    ASSERT_TRUE(m.Search("aba", "ababa"));
    EXPECT_EQ(m.MatchCount(), 1);
    // Later attempts still see the text before them.
    ASSERT_TRUE(m.Search("\\bx", "xx x"));
    EXPECT_EQ(m.MatchCount(), 2);
}

TEST(RegexMatcher, TwoByteCharactersAreSingleCharacters) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("^(.)(.)$", G("中文")));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchText(1, 1), G("中"));
    EXPECT_EQ(m.SubmatchText(1, 2), G("文"));
    ASSERT_TRUE(m.Search(G("深(.)群"), G("广东深圳群")));
    EXPECT_EQ(m.SubmatchText(1, 1), G("圳"));
    // 0x80 is the euro sign in code page 936 and comes back unchanged.
    ASSERT_TRUE(m.Search("<(.)>", "<\x80>"));
    EXPECT_EQ(m.SubmatchText(1, 1), "\x80");
}

// ECMAScript meaning of the constructs where PCRE2's defaults differ. Subject and pattern are UTF-8
// here; `whole` is the expected first match, or nullptr when there must be none.
struct DialectCase {
    const char* pattern;
    const char* subject;
    const char* whole;
};

// Names the case in test listings by its pattern, control characters escaped.
void PrintTo(const DialectCase& c, std::ostream* os) {
    for (const char* p = c.pattern; *p; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20) {
            *os << "\\x" << std::hex << static_cast<int>(*p) << std::dec;
        } else {
            *os << *p;
        }
    }
}

class RegexDialect : public testing::TestWithParam<DialectCase> {};

TEST_P(RegexDialect, MatchesAsEcmaScript) {
    const DialectCase& c = GetParam();
    RegexMatcher m;
    ASSERT_TRUE(m.Search(G(c.pattern), G(c.subject), /*caseSensitive=*/true));
    if (c.whole == nullptr) {
        EXPECT_EQ(m.MatchCount(), 0);
    } else {
        ASSERT_GE(m.MatchCount(), 1);
        EXPECT_EQ(m.MatchText(1), G(c.whole));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, RegexDialect,
    testing::Values(
        // \s is the ECMAScript white space, the full-width space included; \S and classes follow it.
        DialectCase{"a\\sb", "a　b", "a　b"}, DialectCase{"a[\\s]b", "a　b", "a　b"},
        DialectCase{"a\\Sb", "a　b", nullptr}, DialectCase{"a[^\\s]b", "a　b", nullptr},
        DialectCase{"a[\\S]b", "a中b", "a中b"}, DialectCase{"a[^\\S]b", "a中b", nullptr},
        DialectCase{"a[^\\S]b", "a\tb", "a\tb"}, DialectCase{"\\s+", "x \r\n\t\f\v　y", " \r\n\t\f\v　"},
        DialectCase{"[\\s\\S]+", "中\r\n　x", "中\r\n　x"}, DialectCase{"[^\\s\\S]", "a b", nullptr},
        // \d \w \b stay ASCII: a full-width digit is no digit, a Chinese character no word character
        // (so a word boundary lies between "a" and it).
        DialectCase{"\\d", "１", nullptr}, DialectCase{"\\w", "中", nullptr},
        DialectCase{"\\b中", "a中", "中"}, DialectCase{"\\v", "\n", nullptr},
        // \uXXXX, [] and [^], unset and forward back-references.
        DialectCase{"\\u4E2D", "中", "中"}, DialectCase{"a[]", "a", nullptr},
        DialectCase{"a[^]b", "a\nb", "a\nb"}, DialectCase{"(a)?\\1b", "b", "b"},
        DialectCase{"\\1(a)", "a", "a"},
        // Letters without an ECMAScript escape meaning stand for themselves, a bracket in a class too.
        DialectCase{"\\Qa\\E", "Qa E QaE", "QaE"}, DialectCase{"[[:a]+", "[:a", "[:a"},
        DialectCase{"x\\z", "xz", "xz"}, DialectCase{"\\\\s", "\\s", "\\s"},
        // Lazy and leftmost-first.
        DialectCase{"<(.*?)>", "<a><b>", "<a>"}, DialectCase{"a|ab", "ab", "a"}));

TEST(RegexMatcher, MultilineLetsAnchorsMeetLineBreaks) {
    RegexMatcher m;
    ASSERT_TRUE(m.Search("^b$", "a\r\nb\r\nc"));
    EXPECT_EQ(m.MatchCount(), 1);
    ASSERT_TRUE(m.Search("^b$", "a\r\nb\r\nc", false, /*multiline=*/false));
    EXPECT_EQ(m.MatchCount(), 0);
    // Without multiline, $ is the very end of the subject, not the place before a final line feed.
    ASSERT_TRUE(m.Search("a$", "a\n", false, /*multiline=*/false));
    EXPECT_EQ(m.MatchCount(), 0);
}

TEST(RegexMatcher, LongPagesNeedNoMoreThanTheBudget) {
    RegexMatcher m;
    std::string page(200 * 1024, 'a');
    // A group repeated once per character needs a deep backtracking stack.
    ASSERT_TRUE(m.Search("(a|b)*c", page + "c"));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchText(1, 1), "a");
    // A lazy any-character capture across a page of many lines.
    std::string lines;
    while (lines.size() < 200 * 1024) lines += G("  <p>一行文字 line</p>\n");
    ASSERT_TRUE(m.Search("<body>([\\s\\S]*?)</body>", "<body>" + lines + "</body>"));
    ASSERT_EQ(m.MatchCount(), 1);
    EXPECT_EQ(m.SubmatchText(1, 1), lines);
}

// Hostile input: each of these would backtrack for minutes or more. The search gives up at the
// budget and counts as failed; the generous bound only guards against a budget that is not enforced.
TEST(RegexMatcher, RunawayBacktrackingFailsWithinTheBudget) {
    std::string manyStarts;
    while (manyStarts.size() < 60 * 1024) manyStarts += std::string(18, 'a') + "!b";
    struct Case {
        const char* what;
        std::string pattern;
        std::string subject;
    };
    const Case cases[] = {
        {"one start position, exponential", "(a+)+b", std::string(40, 'a') + "!b"},
        {"many start positions, each under any per-start limit", "(a+)+b", manyStarts},
        {"nested lazy captures on one long line", "x(.*?)(.*?)(.*?)y",
         "x" + std::string(100000, 'a') + "\ny"},
    };
    RegexMatcher m;
    for (const Case& c : cases) {
        ASSERT_TRUE(m.Search("(a)", "a"));  // results to be cleared
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(m.Search(c.pattern, c.subject)) << c.what;
        auto spent = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(m.MatchCount(), 0) << c.what;
        EXPECT_EQ(m.SubmatchText(1, 1), "") << c.what;
        EXPECT_GE(spent, kRegexSearchBudget) << c.what;
        EXPECT_LT(spent, 20 * kRegexSearchBudget) << c.what;
    }
    // The next search gets a fresh budget.
    EXPECT_TRUE(m.Search("(a+)+b", "aaab"));
    EXPECT_EQ(m.SubmatchText(1, 1), "aaa");
}

// A start position that backtracks long but within the budget is still searched to the end, and the
// search goes on past it: the line of x and a's without y costs a cubic number of steps before it fails.
TEST(RegexMatcher, ExpensiveStartPositionsStillMatchAndTheSearchGoesOn) {
    const std::string costly = "x" + std::string(100, 'a') + "\n";
    const std::string subject = costly + "xay\n" + costly + "xbby\r\n";
    for (bool utf8 : {false, true}) {
        RegexMatcher m;
        ASSERT_TRUE(utf8 ? m.SearchUtf8("x(.*?)(.*?)(.*?)y", subject)
                         : m.Search("x(.*?)(.*?)(.*?)y", subject));
        ASSERT_EQ(m.MatchCount(), 2);
        EXPECT_EQ(m.MatchText(1), "xay");
        EXPECT_EQ(m.SubmatchText(1, 3), "a");
        EXPECT_EQ(m.MatchText(2), "xbby");
        EXPECT_EQ(m.SubmatchText(2, 3), "bb");
    }
}

TEST(RegexMatcher, MatchersAndEncodingsRunOnManyThreadsAtOnce) {
    std::string page;
    for (int i = 0; i < 300; ++i) {
        page +=
            "<li><a href=\"/q/" + std::to_string(i) + "\">深圳交流群 " + std::to_string(i) + "</a></li>\r\n";
    }
    const Text gbkPage = Utf8ToLocal(page);
    constexpr std::string_view kPattern = "<a href=\"(.*?)\">(.*?)</a>";
    RegexMatcher reference;
    ASSERT_TRUE(reference.Search(kPattern, gbkPage));
    ASSERT_EQ(reference.MatchCount(), 300);
    const Text lastTitle = reference.SubmatchText(300, 2);

    constexpr int kThreads = 8;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            RegexMatcher titles;
            RegexMatcher spaces;
            for (int round = 0; round < 20; ++round) {
                Text local = Utf8ToLocal(page);
                bool ok = local == gbkPage && AnsiToUtf8(local) == page;
                ok = ok && titles.Search(kPattern, local) && titles.MatchCount() == 300 &&
                     titles.SubmatchText(300, 2) == lastTitle;
                ok = ok && spaces.Search("\\s(\\d+)<", local) && spaces.MatchCount() == 300;
                if (!ok) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

}  // namespace
}  // namespace tollenby
