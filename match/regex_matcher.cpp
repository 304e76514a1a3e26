#include "match/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <limits>

#include "text/encoding.h"

namespace tollenby {
namespace {

using Clock = std::chrono::steady_clock;

// "#引号" in GBK.
constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

// The ECMAScript white-space and line-terminator characters, as PCRE2 class members (ALT_BSUX
// spelling). PCRE2's own \s stops at ASCII unless UCP is set, and UCP would also widen \d \w \b.
constexpr std::string_view kWhiteSpace =
    "\\u0009-\\u000D\\u0020\\u00A0\\u1680\\u2000-\\u200A\\u2028\\u2029\\u202F\\u205F\\u3000\\uFEFF";
// Everything else up to U+10FFFF, for \S inside a class; the last code point is written literally
// because \uHHHH stops at U+FFFF.
constexpr std::string_view kNotWhiteSpace =
    "\\u0000-\\u0008\\u000E-\\u001F\\u0021-\\u009F\\u00A1-\\u167F\\u1681-\\u1FFF\\u200B-\\u2027"
    "\\u202A-\\u202E\\u2030-\\u205E\\u2060-\\u2FFF\\u3001-\\uFEFE\\uFF00-"
    "\xF4\x8F\xBF\xBF";

// Starting a JIT stack small keeps idle objects cheap; the ceiling lets group repetitions run over
// a 200 KB page (about 16 MB is needed for `(a|b)*` there). Past it the interpreter takes over.
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 16 * 1024 * 1024;

// Reading the clock costs far more than a callout, so the deadline is looked at every so often.
constexpr std::uint32_t kCalloutsPerClockCheck = 1024;

constexpr std::uint32_t kBaseCompileOptions = PCRE2_UTF | PCRE2_NO_UTF_CHECK | PCRE2_DOLLAR_ENDONLY |
                                              PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS |
                                              PCRE2_MATCH_UNSET_BACKREF | PCRE2_AUTO_CALLOUT;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters that mean something after a backslash in ECMAScript. Any other letter stands for itself
// there, while PCRE2 would read \Q, \K, \z, \h and the like as its own escapes or reject them.
bool IsEcmaEscapeLetter(char c, bool inClass) {
    std::string_view letters = inClass ? "bcdDfnrsStvwWxu" : "bBcdDfnrsStvwWxu";
    return letters.find(c) != std::string_view::npos;
}

// ECMAScript's line terminators. The engine's own newline convention is LF alone, which leaves CR to
// this rewrite: with CR among the newlines PCRE2 would never start a match between a CR and an LF, and
// its `^` and `$` would not stop there either, while ECMAScript treats CR and LF as two terminators.
constexpr std::string_view kNotLineTerminator = "[^\\n\\r\\u2028\\u2029]";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Rewrites an ECMAScript pattern (UTF-8) into PCRE2 syntax with the same meaning.
std::string EcmaToPcre(std::string_view pattern, bool multiline) {
    std::string out;
    out.reserve(pattern.size() + 32);
    bool inClass = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size()) {
            char e = pattern[++i];
            if (e == 's') {
                if (!inClass) out += '[';
                out += kWhiteSpace;
                if (!inClass) out += ']';
            } else if (e == 'S') {
                if (inClass) {
                    out += kNotWhiteSpace;
                } else {
                    out += "[^";
                    out += kWhiteSpace;
                    out += ']';
                }
            } else if (e == 'v') {
                out += "\\u000B";  // PCRE2's \v is a class of vertical spaces
            } else if (!inClass && e >= '1' && e <= '9' &&
                       (i + 1 == pattern.size() || !IsDigit(pattern[i + 1]))) {
                // A back-reference stands alone in a group: PCRE2's JIT fails a repeated reference to
                // an unset group (\1+) where ECMAScript, and PCRE2's interpreter, match it empty.
                // Longer numbers stay as written, since both read them as octal escapes unless the
                // pattern has that many groups.
                out += "(?:\\";
                out += e;
                out += ')';
            } else if (IsAsciiLetter(e) && !IsEcmaEscapeLetter(e, inClass)) {
                out += e;
            } else {
                out += '\\';
                out += e;
            }
            continue;
        }
        if (inClass) {
            if (c == ']') {
                inClass = false;
            } else if (c == '[') {
                out += "\\[";  // literal in ECMAScript; PCRE2 would read [: as a POSIX class
                continue;
            }
            out += c;
            continue;
        }
        if (c == '.') {
            out += kNotLineTerminator;
            continue;
        }
        if (multiline && (c == '^' || c == '$')) {
            // At a line's start: nothing before, or a terminator; at its end: nothing after, or one.
            out += c == '^' ? "(?<!" : "(?!";
            out += kNotLineTerminator;
            out += ')';
            continue;
        }
        out += c;
        if (c == '[') {
            inClass = true;
            // "[]" and "[^]" close at once in ECMAScript; ALLOW_EMPTY_CLASS reads them the same way.
            if (i + 1 < pattern.size() && pattern[i + 1] == '^') out += pattern[++i];
        }
    }
    return out;
}

std::size_t Utf8CharLength(unsigned char lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

struct CodeFree {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeFree>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, CompileContextFree>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack, JitStackFree>;

// The deadline of the running search, seen by the callout that PCRE2 makes before every pattern item.
struct Budget {
    Clock::time_point deadline;
    std::uint32_t countdown = kCalloutsPerClockCheck;

    void Start() {
        deadline = Clock::now() + kRegexSearchBudget;
        countdown = kCalloutsPerClockCheck;
    }
    bool Expired() const { return Clock::now() >= deadline; }
};

// A negative result abandons the match with that error.
int BudgetCallout(pcre2_callout_block*, void* data) {
    auto* budget = static_cast<Budget*>(data);
    if (--budget->countdown != 0) return 0;
    budget->countdown = kCalloutsPerClockCheck;
    return budget->Expired() ? PCRE2_ERROR_CALLOUT : 0;
}

}  // namespace

// Compiled pattern of the last search (reused while the pattern and options stay the same), the
// contexts and the JIT stack. Nothing here is shared with another object.
struct RegexMatcher::Engine {
    CompileContextPtr compileContext;
    MatchContextPtr matchContext;
    JitStackPtr jitStack;
    CodePtr code;
    MatchDataPtr matchData;
    std::string compiledPattern;
    std::uint32_t compiledOptions = 0;
    Budget budget;

    bool Ready() const { return compileContext && matchContext; }

    Engine()
        : compileContext(pcre2_compile_context_create(nullptr)),
          matchContext(pcre2_match_context_create(nullptr)),
          jitStack(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)) {
        if (!Ready()) return;
        // `.`, `^` and `$` are rewritten with ECMAScript's terminators (see EcmaToPcre).
        pcre2_set_newline(compileContext.get(), PCRE2_NEWLINE_LF);
        pcre2_set_callout(matchContext.get(), BudgetCallout, &budget);
        // The time budget is the limit; a count limit would trip on legitimate long pages first.
        pcre2_set_match_limit(matchContext.get(), std::numeric_limits<std::uint32_t>::max());
        if (jitStack) pcre2_jit_stack_assign(matchContext.get(), nullptr, jitStack.get());
    }

    bool Compile(const std::string& pattern, std::uint32_t options) {
        if (code && options == compiledOptions && pattern == compiledPattern) return true;
        code.reset();
        matchData.reset();
        compiledPattern.clear();
        int error = 0;
        PCRE2_SIZE errorOffset = 0;
        code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options,
                                 &error, &errorOffset, compileContext.get()));
        if (!code) return false;
        pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs it
        matchData.reset(pcre2_match_data_create_from_pattern(code.get(), nullptr));
        if (!matchData) {
            code.reset();
            return false;
        }
        compiledPattern = pattern;
        compiledOptions = options;
        return true;
    }

    int GroupCount() const {
        std::uint32_t count = 0;
        pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &count);
        return static_cast<int>(count);
    }

    // One match attempt from `start`. A JIT stack overflow is retried by the interpreter, whose
    // frames live on the heap, under the same deadline.
    int MatchFrom(const std::string& subject, std::size_t start, std::uint32_t flags) {
        auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
        int rc =
            pcre2_match(code.get(), text, subject.size(), start, flags, matchData.get(), matchContext.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            rc = pcre2_match(code.get(), text, subject.size(), start, flags | PCRE2_NO_JIT, matchData.get(),
                             matchContext.get());
        }
        return rc;
    }
};

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(RegexMatcher&&) noexcept = default;
RegexMatcher& RegexMatcher::operator=(RegexMatcher&&) noexcept = default;

void RegexMatcher::ClearResults() {
    subject_.clear();
    offsets_.clear();
    groupCount_ = 0;
    matchCount_ = 0;
}

bool RegexMatcher::Search(std::string_view pattern, std::string_view subject, bool caseSensitive,
                          bool multiline, bool global, bool quoteMarker) {
    ClearResults();
    if (!engine_) engine_ = std::make_unique<Engine>();
    Engine& engine = *engine_;
    if (!engine.Ready()) return false;
    engine.budget.Start();

    Text gbkPattern = quoteMarker ? TextReplace(pattern, kQuoteMarker, "\"") : Text(pattern);
    std::uint32_t options = kBaseCompileOptions;
    if (!caseSensitive) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    if (!engine.Compile(EcmaToPcre(AnsiToUtf8(gbkPattern), multiline), options)) return false;

    std::string utf8 = AnsiToUtf8(subject);
    const int pairs = engine.GroupCount() + 1;
    std::vector<std::size_t> offsets;
    int count = 0;
    std::size_t start = 0;
    std::uint32_t flags = 0;  // the first attempt checks the UTF-8 once; later ones skip it
    for (;;) {
        if (engine.budget.Expired()) return false;
        int rc = engine.MatchFrom(utf8, start, flags);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) return false;  // budget spent, or the engine failed
        flags = PCRE2_NO_UTF_CHECK;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(engine.matchData.get());
        for (int k = 0; k < 2 * pairs; ++k) offsets.push_back(ovector[k]);
        ++count;
        if (!global) break;
        // ECMAScript: the next attempt starts where this match ended, one character further after
        // an empty match, always over the whole subject so that look-behind and \b see the left side.
        std::size_t end = ovector[1];
        if (end == ovector[0]) {
            if (end >= utf8.size()) break;
            end += Utf8CharLength(static_cast<unsigned char>(utf8[end]));
        }
        start = end;
    }
    subject_ = std::move(utf8);
    offsets_ = std::move(offsets);
    groupCount_ = pairs - 1;
    matchCount_ = count;
    return true;
}

Text RegexMatcher::Piece(int matchNo, int groupNo) const {
    if (matchNo < 1 || matchNo > matchCount_ || groupNo < 0 || groupNo > groupCount_) return Text();
    std::size_t at = (static_cast<std::size_t>(matchNo - 1) * (groupCount_ + 1) + groupNo) * 2;
    std::size_t begin = offsets_[at];
    std::size_t end = offsets_[at + 1];
    if (begin == PCRE2_UNSET || end <= begin || end > subject_.size()) return Text();
    return Utf8ToLocal(std::string_view(subject_).substr(begin, end - begin));
}

std::optional<CharSpan> RegexMatcher::SubmatchSpan(int matchNo, int groupNo) const {
    if (matchNo < 1 || matchNo > matchCount_ || groupNo < 0 || groupNo > groupCount_) return std::nullopt;
    std::size_t at = (static_cast<std::size_t>(matchNo - 1) * (groupCount_ + 1) + groupNo) * 2;
    std::size_t begin = offsets_[at];
    std::size_t end = offsets_[at + 1];
    if (begin == PCRE2_UNSET || end < begin || end > subject_.size()) return std::nullopt;
    // Characters are counted by their first UTF-8 byte, every byte that is not 10xxxxxx.
    auto characters = [this](std::size_t bytes) {
        std::size_t count = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            count += (static_cast<unsigned char>(subject_[i]) & 0xC0) != 0x80;
        return count;
    };
    return CharSpan{characters(begin), characters(end)};
}

Text RegexMatcher::MatchText(int matchNo) const {
    return Piece(matchNo, 0);
}

Text RegexMatcher::SubmatchText(int matchNo, int groupNo) const {
    if (groupNo < 1) return Text();
    return Piece(matchNo, groupNo);
}

}  // namespace tollenby
