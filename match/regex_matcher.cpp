#include "match/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <time.h>

#include <cstdint>
#include <limits>

#include "text/encoding.h"
#include "text/quote_marker.h"

namespace tollenby {
namespace {

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

// Ordinary searches run without auto-callouts, at JIT speed. Their only callout stands at the start of
// the pattern, so it runs once per start position tried and looks at the clock every few of them; a
// start position that backtracks past kFastStepLimit steps (some tens of milliseconds of JIT, where a
// lazy capture across a 200 KB page needs a few million steps) is handed, with every later one, to the
// checked form, whose auto-callouts look at the clock between pattern items. So no stretch of matching
// runs long unwatched: many cheap start positions meet the clock at the start callout, one costly start
// position meets the step limit, and at most kStartsPerClockCheck start positions of up to
// kFastStepLimit steps each pass between two looks.
constexpr std::uint32_t kFastStepLimit = 10'000'000;
constexpr std::uint32_t kStartsPerClockCheck = 2;
constexpr std::uint32_t kFastHeapLimitKiB = 64 * 1024;

// The checked form's callout runs before every pattern item; the clock is read every so often.
constexpr std::uint32_t kCalloutsPerClockCheck = 256;

constexpr std::uint32_t kBaseCompileOptions = PCRE2_UTF | PCRE2_NO_UTF_CHECK | PCRE2_DOLLAR_ENDONLY |
                                              PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS |
                                              PCRE2_MATCH_UNSET_BACKREF;

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

// Nanoseconds on the coarse monotonic clock, which costs a few nanoseconds to read where the precise
// one costs several times that: cheap enough for a look at every start position.
std::int64_t CoarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// One tick of the coarse clock; the deadline adds it, so a search never gives up before its budget.
std::int64_t CoarseResolution() {
    timespec resolution{};
    clock_getres(CLOCK_MONOTONIC_COARSE, &resolution);
    return std::int64_t{resolution.tv_sec} * 1'000'000'000 + resolution.tv_nsec;
}

// The deadline of the running search, seen by the callouts of both compiled forms.
struct Budget {
    std::int64_t deadline = 0;
    std::uint32_t countdown = 1;
    bool spent = false;
    std::size_t lastStart = 0;  // where the fast form's current attempt began

    void Start() {
        static const std::int64_t resolution = CoarseResolution();
        deadline = CoarseNow() + std::chrono::nanoseconds(kRegexSearchBudget).count() + resolution;
        countdown = 1;
        spent = false;
    }
    bool Expired() {
        if (!spent && CoarseNow() >= deadline) spent = true;
        return spent;
    }
    // Counts one callout and reads the clock every `every` of them.
    bool Tick(std::uint32_t every) {
        if (--countdown != 0) return false;
        countdown = every;
        return Expired();
    }
};

// A negative result abandons the match with that error.
int StartCallout(pcre2_callout_block* block, void* data) {
    auto* budget = static_cast<Budget*>(data);
    budget->lastStart = block->start_match;
    return budget->Tick(kStartsPerClockCheck) ? PCRE2_ERROR_CALLOUT : 0;
}

int ItemCallout(pcre2_callout_block*, void* data) {
    return static_cast<Budget*>(data)->Tick(kCalloutsPerClockCheck) ? PCRE2_ERROR_CALLOUT : 0;
}

// The fast form ran out of steps or stack at one start position: the checked form takes over there.
bool OutOfSteps(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
           rc == PCRE2_ERROR_JIT_STACKLIMIT;
}

CodePtr CompileCode(const std::string& pattern, std::uint32_t options, pcre2_compile_context* context) {
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    return CodePtr(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options,
                                 &error, &errorOffset, context));
}

}  // namespace

// Both compiled forms of the last pattern (reused while the pattern and options stay the same), their
// match contexts and the JIT stack. Nothing here is shared with another object.
//
// The checked form carries an auto-callout before every item and decides whether a pattern is
// accepted; the fast form is the same pattern behind a single start callout, under a step limit per
// start position. The checked form is JIT-compiled only when a search first needs it.
struct RegexMatcher::Engine {
    CompileContextPtr compileContext;
    MatchContextPtr fastContext;
    MatchContextPtr checkedContext;
    JitStackPtr jitStack;
    CodePtr fast;
    CodePtr checked;
    bool checkedJitDone = false;
    MatchDataPtr matchData;
    std::string compiledPattern;
    std::uint32_t compiledOptions = 0;
    Text lastGbkPattern;  // the pattern as the caller gave it, so a repeated one is not converted again
    std::uint32_t lastGbkOptions = 0;
    bool lastQuoteMarker = false;
    Budget budget;

    bool Ready() const { return compileContext && fastContext && checkedContext; }

    Engine()
        : compileContext(pcre2_compile_context_create(nullptr)),
          fastContext(pcre2_match_context_create(nullptr)),
          checkedContext(pcre2_match_context_create(nullptr)),
          jitStack(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)) {
        if (!Ready()) return;
        // `.`, `^` and `$` are rewritten with ECMAScript's terminators (see EcmaToPcre).
        pcre2_set_newline(compileContext.get(), PCRE2_NEWLINE_LF);
        pcre2_set_callout(fastContext.get(), StartCallout, &budget);
        pcre2_set_match_limit(fastContext.get(), kFastStepLimit);
        // The interpreted run keeps its backtracking frames on the heap; past this the checked form goes on.
        pcre2_set_heap_limit(fastContext.get(), kFastHeapLimitKiB);
        pcre2_set_callout(checkedContext.get(), ItemCallout, &budget);
        // The time budget is the limit; a count limit would trip on legitimate long pages first.
        pcre2_set_match_limit(checkedContext.get(), std::numeric_limits<std::uint32_t>::max());
        if (jitStack) {
            pcre2_jit_stack_assign(fastContext.get(), nullptr, jitStack.get());
            pcre2_jit_stack_assign(checkedContext.get(), nullptr, jitStack.get());
        }
    }

    bool Compile(const std::string& pattern, std::uint32_t options) {
        if (checked && options == compiledOptions && pattern == compiledPattern) return true;
        fast.reset();
        checked.reset();
        checkedJitDone = false;
        matchData.reset();
        compiledPattern.clear();
        checked = CompileCode(pattern, options | PCRE2_AUTO_CALLOUT, compileContext.get());
        if (!checked) return false;
        matchData.reset(pcre2_match_data_create_from_pattern(checked.get(), nullptr));
        if (!matchData) {
            checked.reset();
            return false;
        }
        // The group adds no capture, so group numbers stay. Should the wrapped text not compile (the
        // pattern opens with a verb that must come first), every search takes the checked form.
        fast = CompileCode("(?C1)(?:" + pattern + ")", options, compileContext.get());
        if (fast) pcre2_jit_compile(fast.get(), PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs it
        compiledPattern = pattern;
        compiledOptions = options;
        return true;
    }

    int GroupCount() const {
        std::uint32_t count = 0;
        pcre2_pattern_info(checked.get(), PCRE2_INFO_CAPTURECOUNT, &count);
        return static_cast<int>(count);
    }

    // One match attempt from `start`, by the fast form (by its interpreted run where the JIT stack is too
    // small). When one start position runs out of steps there, the checked form searches again from that
    // position on.
    int MatchFrom(const std::string& subject, std::size_t start, std::uint32_t flags) {
        if (fast) {
            auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
            budget.lastStart = start;
            int rc = pcre2_match(fast.get(), text, subject.size(), start, flags, matchData.get(),
                                 fastContext.get());
            if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
                // Deep group repetitions outgrow the JIT stack; the interpreter keeps its frames on the heap.
                start = budget.lastStart;
                rc = pcre2_match(fast.get(), text, subject.size(), start, flags | PCRE2_NO_JIT,
                                 matchData.get(), fastContext.get());
            }
            if (!OutOfSteps(rc)) return rc;
            start = budget.lastStart;
        }
        return CheckedFrom(subject, start, flags);
    }

    // The checked form's JIT stack overflow is retried by the interpreter, whose frames live on the
    // heap, under the same deadline.
    int CheckedFrom(const std::string& subject, std::size_t start, std::uint32_t flags) {
        if (!checkedJitDone) {
            pcre2_jit_compile(checked.get(), PCRE2_JIT_COMPLETE);
            checkedJitDone = true;
        }
        auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
        int rc = pcre2_match(checked.get(), text, subject.size(), start, flags, matchData.get(),
                             checkedContext.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            rc = pcre2_match(checked.get(), text, subject.size(), start, flags | PCRE2_NO_JIT,
                             matchData.get(), checkedContext.get());
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
    return Run(pattern, AnsiToUtf8(subject), caseSensitive, multiline, global, quoteMarker);
}

bool RegexMatcher::SearchUtf8(std::string_view pattern, std::string_view utf8Subject, bool caseSensitive,
                              bool multiline, bool global, bool quoteMarker) {
    return Run(pattern, std::string(utf8Subject), caseSensitive, multiline, global, quoteMarker);
}

bool RegexMatcher::Run(std::string_view pattern, std::string utf8, bool caseSensitive, bool multiline,
                       bool global, bool quoteMarker) {
    ClearResults();
    if (!engine_) engine_ = std::make_unique<Engine>();
    Engine& engine = *engine_;
    if (!engine.Ready()) return false;
    engine.budget.Start();

    std::uint32_t options = kBaseCompileOptions;
    if (!caseSensitive) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    // A worker searches the same few patterns again and again; only a new one is converted.
    if (!engine.checked || options != engine.lastGbkOptions || quoteMarker != engine.lastQuoteMarker ||
        pattern != engine.lastGbkPattern) {
        engine.lastGbkPattern.clear();
        Text gbkPattern = quoteMarker ? TextReplace(pattern, kQuoteMarker, "\"") : Text(pattern);
        if (!engine.Compile(EcmaToPcre(AnsiToUtf8(gbkPattern), multiline), options)) return false;
        engine.lastGbkPattern = Text(pattern);
        engine.lastGbkOptions = options;
        engine.lastQuoteMarker = quoteMarker;
    }

    const int pairs = engine.GroupCount() + 1;
    std::vector<std::size_t> offsets;
    int count = 0;
    std::size_t start = 0;
    // The subject is valid UTF-8 by construction (ICU's output, or Utf8ThroughGbk's), so PCRE2 need not
    // walk the whole page to check it before every search.
    std::uint32_t flags = PCRE2_NO_UTF_CHECK;
    for (;;) {
        if (engine.budget.Expired()) return false;
        int rc = engine.MatchFrom(utf8, start, flags);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) return false;  // budget spent, or the engine failed
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
