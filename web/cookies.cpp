#include "web/cookies.h"

#include <algorithm>
#include <unordered_set>

#include "web/url_header.h"

namespace tollenby {
namespace {

constexpr std::string_view kSetCookie = "Set-Cookie";
constexpr std::string_view kItemSeparator = "; ";
constexpr std::string_view kDeletedSuffix = "=deleted";

// Items of a cookie text split at ";": none for an empty text, and no item behind a final semicolon.
TextArray CookieItems(std::string_view text) {
    if (text.empty()) return {};
    TextArray items = TextSplit(text, ";");
    if (text.back() == ';') items.pop_back();
    return items;
}

bool IsDeleted(std::string_view item) {
    return item.size() >= kDeletedSuffix.size() &&
           item.substr(item.size() - kDeletedSuffix.size()) == kDeletedSuffix;
}

// Joins with "; " between items and nothing at either end.
Text JoinItems(const TextArray& items, std::string_view separator) {
    Text joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined.append(separator);
        joined.append(items[i]);
    }
    return joined;
}

// The name=value part of one Set-Cookie line.
Text CookieItemOfLine(std::string_view line) {
    if (!TextContains(line, ";")) return TextTrim(TextReplace(line, "Set-Cookie:", "", true));
    return TextTrim(TextBetween(line, "Set-Cookie:", ";"));
}

}  // namespace

Text GatherNewCookies(std::string_view headerBlock) {
    TextArray items;
    for (const Text& line : TextSplit(headerBlock, "\r\n")) {
        if (TextContains(line, kSetCookie)) items.push_back(CookieItemOfLine(line));
    }
    return JoinItems(items, kItemSeparator);
}

Text MergeCookies(Text& cookies, Text& newCookies) {
    cookies = RemoveSpaces(cookies);
    newCookies = RemoveSpaces(newCookies);

    TextArray merged = CookieItems(newCookies);
    std::unordered_set<Text> names;
    for (const Text& item : merged) names.insert(CookieName(item));
    for (Text& item : CookieItems(cookies)) {
        if (names.insert(CookieName(item)).second) merged.push_back(std::move(item));
    }

    std::erase_if(merged, [](const Text& item) { return IsDeleted(item); });
    cookies = DedupJoin(JoinItems(merged, kItemSeparator), kItemSeparator);
    return cookies;
}

Text DedupJoin(std::string_view text, std::string_view separator) {
    TextArray kept;
    std::unordered_set<Text> seen;
    for (Text& item : TextSplit(text, separator)) {
        if (seen.insert(item).second) kept.push_back(std::move(item));
    }
    return JoinItems(kept, separator);
}

Text CookieName(std::string_view item) {
    std::size_t equals = TextFind(item, "=");
    return TextTrim(equals == kNotFound ? item : item.substr(0, equals));
}

Text NormalizeSetCookieCase(std::string_view headerBlock) {
    return TextReplace(headerBlock, kSetCookie, kSetCookie, true);
}

}  // namespace tollenby
