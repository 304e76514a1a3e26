#include "text/gbk_text.h"

#include <algorithm>

namespace tollenby {
namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Does `needle` stand at `pos` (a character boundary)? Letter case folded for single-byte characters only.
bool MatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    if (text.size() - pos < needle.size()) return false;
    for (std::size_t j = 0; j < needle.size(); ++j) {
        char a = text[pos + j];
        char b = needle[j];
        if (CharLength(needle, j) == 2) {
            if (a != b || text[pos + j + 1] != needle[j + 1]) return false;
            ++j;
        } else if (ignoreCase ? FoldAscii(a) != FoldAscii(b) : a != b) {
            return false;
        }
    }
    return true;
}

}  // namespace

Text AsciiLower(std::string_view text) {
    Text out(text);
    for (std::size_t i = 0; i < out.size(); i += CharLength(out, i)) {
        if (!IsLeadByte(out[i])) out[i] = FoldAscii(out[i]);
    }
    return out;
}

std::size_t TextFind(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (needle.empty() || from >= text.size()) return kNotFound;
    std::size_t boundary = from;  // a known character boundary at or before every candidate
    if (!ignoreCase) {
        // Fast path: let the library find byte candidates, then check they start on a boundary.
        std::size_t candidate = text.find(needle, from);
        while (candidate != kNotFound) {
            while (boundary < candidate) boundary += CharLength(text, boundary);
            if (boundary == candidate) return candidate;
            candidate = text.find(needle, boundary);
        }
        return kNotFound;
    }
    for (std::size_t i = boundary; i + needle.size() <= text.size(); i += CharLength(text, i)) {
        if (MatchesAt(text, i, needle, true)) return i;
    }
    return kNotFound;
}

Text TextReplace(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase,
                 std::size_t start, long maxCount) {
    if (from.empty() || start >= text.size()) return Text(text);
    Text out(text.substr(0, start));
    std::size_t pos = start;
    long done = 0;
    while (maxCount < 0 || done < maxCount) {
        std::size_t hit = TextFind(text, from, pos, ignoreCase);
        if (hit == kNotFound) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
        ++done;
    }
    out.append(text.substr(pos));
    return out;
}

TextArray TextSplit(std::string_view text, std::string_view separator) {
    TextArray pieces;
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = separator.empty() ? kNotFound : TextFind(text, separator, pos);
        if (hit == kNotFound) {
            pieces.emplace_back(text.substr(pos));
            return pieces;
        }
        pieces.emplace_back(text.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
}

Text TextTrim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (true) {
        if (begin < end && text[begin] == ' ') {
            ++begin;
        } else if (end - begin >= 2 && text.substr(begin, 2) == kFullWidthSpace) {
            begin += 2;
        } else {
            break;
        }
    }
    // From the right a trailing A1 A1 could be the second byte of one character and the first of the
    // next (xx A1 A1); the characters are found by walking from the left.
    std::size_t lastKeep = begin;  // end of the last character that is not a blank
    for (std::size_t i = begin; i < end;) {
        std::size_t len = CharLength(text, i);
        bool blank = text[i] == ' ' || (len == 2 && text.substr(i, 2) == kFullWidthSpace);
        i += len;
        if (!blank) lastKeep = i;
    }
    return Text(text.substr(begin, lastKeep - begin));
}

Text RemoveSpaces(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = CharLength(text, i);
        bool blank = text[i] == ' ' || (len == 2 && text.substr(i, 2) == kFullWidthSpace);
        if (!blank) out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

Text TrimAsciiSpaces(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == kNotFound) return Text();
    return Text(text.substr(begin, text.find_last_not_of(' ') - begin + 1));
}

Text ReplacePairs(std::string_view text, long count, long start, bool caseSensitive,
                  std::initializer_list<ReplacePair> pairs) {
    // Positions count characters from 1; turn the start position into a byte offset.
    std::size_t startByte = 0;
    for (long c = 1; c < start && startByte < text.size(); ++c) startByte += CharLength(text, startByte);
    Text current(text);
    for (const ReplacePair& pair : pairs) {
        if (pair.oldText.empty()) continue;
        current = TextReplace(current, pair.oldText, pair.newText, !caseSensitive, startByte,
                              count > 0 ? count : -1);
    }
    return current;
}

}  // namespace tollenby
