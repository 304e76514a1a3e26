#include "tests/match/regex_case_generator.h"

#include <array>
#include <string_view>

namespace tollenby::testing {
namespace {

// Characters a literal or a subject draws from: ASCII, the markup's punctuation, line breaks, the
// full-width space, CJK, full-width, Greek, Cyrillic and Roman-numeral letters with both cases.
constexpr std::u16string_view kLetters =
    u"abcxyzABCXYZ019 _-<>\"=/:;&#\t\r\n\u3000\u4E2D\u6587\u7FA4\uFF21\uFF41\uFF11\u03A3\u03C3\u0416\u0436"
    u"\u2160\u2170\u00B7\u00E0\u00FC";
// Punctuation that needs a backslash to stand for itself.
constexpr std::u16string_view kSyntax = u".*+?()[]{}|\\/^$";

constexpr std::array<std::u16string_view, 16> kEscapes = {
    u"\\d", u"\\D",     u"\\w",     u"\\W",   u"\\s", u"\\S", u"\\r", u"\\n",
    u"\\t", u"\\u3000", u"\\u4E2D", u"\\x41", u"\\f", u"\\v", u".",   u"[\\s\\S]"};

constexpr std::array<std::u16string_view, 14> kClassItems = {u"a",      u"b",      u"A",      u"z",   u"a-c",
                                                             u"0-9",    u"\\s",    u"\\S",    u"\\d", u"\\w",
                                                             u"\u4E2D", u"\u3000", u"\\r\\n", u"\"<>"};

// Characters only subjects carry: an emoji (a surrogate pair), the no-break space, the line
// separator, a Latin letter with no GBK form; none survives the way into GBK.
constexpr std::array<std::u16string_view, 4> kForeign = {u"\U0001F600", u"\u00A0", u"\u2028", u"\u00E7"};

}  // namespace

std::uint64_t RegexCaseGenerator::Random() {
    // splitmix64: fixed, so a seed means the same cases with every compiler and library.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

RegexCase RegexCaseGenerator::Next() {
    groups_ = 0;
    literals_.clear();
    RegexCase c;
    c.pattern = Alternation(0).text;
    c.subject = Subject();
    c.ignoreCase = Chance(50);
    c.multiline = Chance(70);
    c.global = Chance(80);
    return c;
}

RegexCaseGenerator::Piece RegexCaseGenerator::Alternation(int depth) {
    Piece piece = Sequence(depth);
    for (int alternatives = Chance(25) ? 1 + static_cast<int>(Below(2)) : 0; alternatives > 0;
         --alternatives) {
        Piece next = Sequence(depth);
        piece.text += u'|';
        piece.text += next.text;
        piece.unbounded = piece.unbounded || next.unbounded;
        piece.alternation = true;
        piece.nullable = piece.nullable || next.nullable;
        piece.captures = piece.captures || next.captures;
    }
    return piece;
}

RegexCaseGenerator::Piece RegexCaseGenerator::Sequence(int depth) {
    Piece piece;
    piece.nullable = true;
    for (std::size_t terms = Below(depth == 0 ? 6 : 4); terms > 0; --terms) {
        Piece term = Term(depth);
        piece.text += term.text;
        piece.unbounded = piece.unbounded || term.unbounded;
        piece.alternation = piece.alternation || term.alternation;
        piece.nullable = piece.nullable && term.nullable;
        piece.captures = piece.captures || term.captures;
    }
    return piece;
}

RegexCaseGenerator::Piece RegexCaseGenerator::Term(int depth) {
    if (Chance(8)) {
        constexpr std::array<std::u16string_view, 4> kAnchors = {u"^", u"$", u"\\b", u"\\B"};
        Piece anchor{std::u16string(kAnchors[Below(kAnchors.size())])};
        anchor.nullable = true;
        return anchor;
    }
    Piece atom = Atom(depth);
    if (!Chance(40)) return atom;
    const bool group = atom.text[0] == u'(';
    if (!allConstructs_ && group && atom.nullable) return atom;
    // A quantifier without bound over a piece that repeats or branches itself can backtrack
    // exponentially, and neither engine could finish; such pieces get a bounded one.
    bool unbounded = false;
    const bool atMostOnce = !allConstructs_ && group && atom.captures;
    std::u16string quantifier = Quantifier(!atom.unbounded && !atom.alternation, atMostOnce, unbounded);
    atom.text += quantifier;
    atom.unbounded = atom.unbounded || unbounded;
    atom.nullable =
        atom.nullable || quantifier[0] == u'*' || quantifier[0] == u'?' || quantifier.starts_with(u"{0");
    return atom;
}

RegexCaseGenerator::Piece RegexCaseGenerator::Atom(int depth) {
    std::size_t kind = Below(depth < 2 ? 10 : 7);
    if (kind < 3) return {Literal()};
    if (kind == 3) return {std::u16string(kEscapes[Below(kEscapes.size())])};
    if (kind == 4) return {Class()};
    if (kind == 5) return {Literal() + Literal()};
    if (kind == 6) {
        // A back-reference to a group opened before it (it may still be open, or in another branch).
        if (groups_ == 0 || groups_ > 9) return {Literal()};
        Piece reference{u"\\" + std::u16string(1, u'1' + static_cast<char16_t>(
                                                             Below(static_cast<std::size_t>(groups_))))};
        reference.nullable = true;
        return reference;
    }
    std::u16string open = u"(";
    if (kind == 8 && Chance(50)) open = u"(?:";
    if (kind == 9 && Chance(30)) open = Chance(50) ? u"(?=" : u"(?!";
    if (open == u"(") ++groups_;
    Piece inner = Alternation(depth + 1);
    inner.text = open + inner.text + u")";
    inner.captures = inner.captures || open == u"(";
    inner.nullable = inner.nullable || open.starts_with(u"(?=") || open.starts_with(u"(?!");
    return inner;
}

std::u16string RegexCaseGenerator::Literal() {
    if (Chance(10)) {
        char16_t c = kSyntax[Below(kSyntax.size())];
        literals_ += c;
        return std::u16string{u'\\', c};
    }
    char16_t c = kLetters[Below(kLetters.size())];
    literals_ += c;
    return std::u16string(1, c);
}

std::u16string RegexCaseGenerator::Class() {
    std::u16string text = Chance(35) ? u"[^" : u"[";
    for (std::size_t items = 1 + Below(3); items > 0; --items) text += kClassItems[Below(kClassItems.size())];
    return text + u"]";
}

std::u16string RegexCaseGenerator::Quantifier(bool unboundedAllowed, bool atMostOnce, bool& unbounded) {
    constexpr std::array<std::u16string_view, 8> kUnbounded = {u"*",    u"+",     u"*?", u"+?",
                                                               u"{1,}", u"{2,}?", u"*",  u"*?"};
    constexpr std::array<std::u16string_view, 7> kBounded = {u"?",      u"??",    u"{2}", u"{0,2}",
                                                             u"{1,3}?", u"{0,1}", u"{3}?"};
    if (atMostOnce) return Chance(50) ? u"?" : u"??";
    if (unboundedAllowed && Chance(60)) {
        unbounded = true;
        return std::u16string(kUnbounded[Below(kUnbounded.size())]);
    }
    return std::u16string(kBounded[Below(kBounded.size())]);
}

std::u16string RegexCaseGenerator::Subject() {
    std::u16string subject;
    for (std::size_t length = Below(41); length > 0; --length) {
        std::size_t kind = Below(20);
        if (kind < 9 && !literals_.empty()) {
            subject += literals_[Below(literals_.size())];
        } else if (kind < 11) {
            subject += u"\r\n";
        } else if (kind == 11) {
            subject += kForeign[Below(kForeign.size())];
        } else {
            subject += kLetters[Below(kLetters.size())];
        }
    }
    return subject;
}

}  // namespace tollenby::testing
