// The GBK primitives over arbitrary bytes. Each result is checked against what the character walk
// allows: a match starts on a character boundary and never on a second byte, stays inside the text,
// and no earlier boundary holds one; pieces and trims put back together give the text again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/gbk_text.h"
#include "web/url_header.h"

namespace {

using namespace tollenby;
using fuzz::Check;

// Character boundaries of `text` counted from `from`, the end included.
std::vector<std::size_t> Boundaries(std::string_view text, std::size_t from) {
    std::vector<std::size_t> at;
    for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) at.push_back(i);
    at.push_back(std::max(from, text.size()));
    return at;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

// The first boundary at or after `from` where `needle` stands byte for byte.
std::size_t ExactFind(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) return kNotFound;
    for (std::size_t at : Boundaries(text, from)) {
        if (text.substr(at, needle.size()) == needle && at + needle.size() <= text.size()) return at;
    }
    return kNotFound;
}

bool IsBoundary(std::string_view text, std::size_t from, std::size_t pos) {
    for (std::size_t at : Boundaries(text, from)) {
        if (at == pos) return true;
    }
    return false;
}

void CheckFind(std::string_view text, std::string_view needle, std::size_t from) {
    Check(TextFind(text, needle, from) == ExactFind(text, needle, from),
          "TextFind missed or misplaced a match");
    std::size_t folded = TextFind(text, needle, from, true);
    if (folded == kNotFound) {
        Check(ExactFind(text, needle, from) == kNotFound, "ignoring case lost an exact match");
        return;
    }
    Check(folded + needle.size() <= text.size(), "TextFind matched past the end");
    Check(IsBoundary(text, from, folded), "TextFind matched inside a character");
    Check(SameFolded(text.substr(folded, needle.size()), needle), "TextFind matched other letters");
    std::size_t exact = ExactFind(text, needle, from);
    Check(exact == kNotFound || exact >= folded, "ignoring case skipped an earlier exact match");
}

void CheckReplace(std::string_view text, std::string_view from, std::string_view to) {
    Text expected;
    std::size_t pos = 0;
    for (std::size_t hit = ExactFind(text, from, 0); hit != kNotFound; hit = ExactFind(text, from, pos)) {
        expected.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + from.size();
    }
    expected.append(text.substr(pos));
    Check(TextReplace(text, from, to) == (from.empty() ? Text(text) : expected), "TextReplace differs");
    Text pairs = ReplacePairs(text, {{from, to}, {to, from}});
    Check(pairs == TextReplace(TextReplace(text, from, to, true), to, from, true), "ReplacePairs differs");
}

void CheckSplit(std::string_view text, std::string_view separator) {
    TextArray pieces = TextSplit(text, separator);
    Check(!pieces.empty(), "TextSplit gave no piece");
    Text joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) joined.append(separator);
        joined.append(pieces[i]);
        Check(separator.empty() || TextFind(pieces[i], separator) == kNotFound,
              "a piece holds the separator");
    }
    Check(joined == text, "TextSplit pieces do not join back to the text");
}

bool IsBlankAt(std::string_view text, std::size_t at) {
    return text[at] == ' ' || (CharLength(text, at) == 2 && text.substr(at, 2) == kFullWidthSpace);
}

void CheckTrims(std::string_view text) {
    Text trimmed = TextTrim(text);
    Check(text.find(trimmed) != std::string_view::npos, "TextTrim made up text");
    Check(TextTrim(trimmed) == trimmed, "TextTrim left a blank at an end");
    if (!trimmed.empty()) {
        Check(!IsBlankAt(trimmed, 0), "TextTrim left a leading blank");
        std::vector<std::size_t> at = Boundaries(trimmed, 0);
        Check(!IsBlankAt(trimmed, at[at.size() - 2]), "TextTrim left a trailing blank");
    }
    Text spaceless = RemoveSpaces(text);
    Check(spaceless.find(' ') == Text::npos, "RemoveSpaces left a space");
    // Removing a space between two stray A1 bytes brings them together as a full-width space, so the
    // output is checked for those only when every lead byte of the text starts a character.
    bool strayLeadBytes = false;
    for (std::size_t at : Boundaries(text, 0))
        strayLeadBytes =
            strayLeadBytes || (at < text.size() && IsLeadByte(text[at]) && CharLength(text, at) == 1);
    for (std::size_t at : Boundaries(spaceless, 0)) {
        Check(strayLeadBytes || at == spaceless.size() || !IsBlankAt(spaceless, at),
              "RemoveSpaces left a blank");
    }
    Text ascii = TrimAsciiSpaces(text);
    Check(ascii.empty() || (ascii.front() != ' ' && ascii.back() != ' '), "TrimAsciiSpaces left a space");
    Check(AsciiLower(text).size() == text.size(), "AsciiLower changed the length");
}

void CheckBetween(std::string_view text, std::string_view left, std::string_view right) {
    Text between = TextBetween(text, left, right);
    std::size_t leftAt = ExactFind(text, left, 0);
    if (leftAt == kNotFound) {
        Check(between.empty() || TextContains(left, kQuoteMarker), "TextBetween without its left marker");
        return;
    }
    if (TextContains(left, kQuoteMarker) || TextContains(right, kQuoteMarker)) return;
    std::size_t inner = leftAt + left.size();
    std::size_t rightAt = ExactFind(text, right, inner);
    Text expected = rightAt == kNotFound ? Text() : Text(text.substr(inner, rightAt - inner));
    Check(between == expected, "TextBetween differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto [bits, rest] = fuzz::TakeOptions(fuzz::AsBytes(data, size));
    std::vector<std::string_view> p = fuzz::Pieces(rest, 3);
    const std::string_view text = p[0];
    const std::size_t from = text.empty() ? 0 : bits % (text.size() + 1);
    CheckFind(text, p[1], from);
    CheckFind(text, p[1], 0);
    CheckReplace(text, p[1], p[2]);
    CheckSplit(text, p[1]);
    CheckTrims(text);
    CheckBetween(text, p[1], p[2]);
    return 0;
}
