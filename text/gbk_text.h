// GBK texts and the character-aware primitives every other routine is built on.
//
// A Text holds GBK (code page 936) bytes and no zero byte. A byte of 0x80 or more starts a two-byte
// character (when a second byte can follow it, see CharLength), so searches step over such characters
// whole and never match on their second byte.
// A ByteString holds any bytes (page bodies, images).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tollenby {

using Text = std::string;
using ByteString = std::string;
using TextArray = std::vector<Text>;

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The GBK full-width (ideographic) space.
inline constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

inline bool IsLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// A byte that can be the second byte of a two-byte character: 0x40 to 0xFE, except 0x7F.
inline bool IsTrailByte(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 0x40 && b != 0x7F && b != 0xFF;
}

// Byte length of the character that starts at `pos`: 2 for a lead byte and a byte that can follow it,
// else 1. A lead byte at the very end, or before a control character, space, digit or punctuation such
// as ; = : / < > " (text that is not GBK there, such as UTF-8 bytes in a header), stands alone, so those
// bytes are always characters of their own and a separator after a stray lead byte is still found.
inline std::size_t CharLength(std::string_view text, std::size_t pos) {
    return IsLeadByte(text[pos]) && pos + 1 < text.size() && IsTrailByte(text[pos + 1]) ? 2 : 1;
}

// ASCII A-Z to a-z; every other byte, two-byte characters included, unchanged.
Text AsciiLower(std::string_view text);

// Position of the first occurrence of `needle` at or after byte `from` that starts on a character
// boundary (boundaries are counted from `from`), or kNotFound. An empty needle is never found.
// ignoreCase folds ASCII letters only; the bytes of two-byte characters always compare exactly.
std::size_t TextFind(std::string_view text, std::string_view needle, std::size_t from = 0,
                     bool ignoreCase = false);

inline bool TextContains(std::string_view text, std::string_view needle, bool ignoreCase = false) {
    return TextFind(text, needle, 0, ignoreCase) != kNotFound;
}

// Replaces occurrences of `from` by `to`, scanning left to right from byte `start`, never rescanning
// replaced text. maxCount < 0 replaces all. An empty `from` changes nothing.
Text TextReplace(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase = false,
                 std::size_t start = 0, long maxCount = -1);

// Every piece between separators, empty pieces included ("a,,b" -> a, "", b; "" -> one empty piece).
TextArray TextSplit(std::string_view text, std::string_view separator);

// Removes ASCII spaces (0x20) and full-width spaces (A1 A1) at both ends; tabs and line breaks stay.
Text TextTrim(std::string_view text);

// Removes every ASCII space and every full-width space anywhere in the text.
Text RemoveSpaces(std::string_view text);

// Removes ASCII spaces (0x20) only, at both ends.
Text TrimAsciiSpaces(std::string_view text);

// The text up to (not including) its first zero byte.
inline std::string_view CutAtZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Several-pairs replacement. Each pair is applied to the result of the one before, all occurrences
// (or at most `count` when count > 0), from character position `start` (counting from 1; 0 means 1),
// ASCII letter case ignored unless caseSensitive. Pairs with an empty old text change nothing.
struct ReplacePair {
    std::string_view oldText;
    std::string_view newText;
};
Text ReplacePairs(std::string_view text, long count, long start, bool caseSensitive,
                  std::initializer_list<ReplacePair> pairs);
// The form every caller uses: all occurrences, from the first character, letter case ignored.
inline Text ReplacePairs(std::string_view text, std::initializer_list<ReplacePair> pairs) {
    return ReplacePairs(text, 0, 0, false, pairs);
}

}  // namespace tollenby
