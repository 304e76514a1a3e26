#include "text/keyword_text.h"

#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "text/encoding.h"

namespace tollenby {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr UChar32 kReplacement = 0xFFFD;

std::string_view UpToZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

bool HasNonAscii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string ToUtf8(std::u16string_view wide) {
    std::string out(wide.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, wide.data(),
                       static_cast<int32_t>(wide.size()), kReplacement, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(length);
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int64_t>(bytes.size());
    for (int64_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0) return false;  // also rejects encoded surrogates and overlong forms
    }
    return true;
}

// UTF-8 bytes with each invalid sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view bytes) {
    std::u16string wide(bytes.size(), u'\0');  // never more units than bytes
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, bytes.data(),
                         static_cast<int32_t>(bytes.size()), kReplacement, nullptr, &status);
    if (U_FAILURE(status)) return {};
    wide.resize(length);
    return ToUtf8(wide);
}

// UTF-16 code units in the given byte order, up to the first zero unit. A dangling odd byte is dropped.
std::u16string Utf16Units(std::string_view bytes, bool littleEndian) {
    std::u16string wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        auto unit = static_cast<char16_t>(littleEndian ? first | (second << 8) : (first << 8) | second);
        if (unit == 0) break;
        wide.push_back(unit);
    }
    return wide;
}

// CR LF and a lone CR become LF, in place.
std::string Lines(std::string text) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            text[out++] = '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            text[out++] = text[i];
        }
    }
    text.resize(out);
    return text;
}

}  // namespace

std::string DecodeKeywordBytes(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Mark)) {
        std::string_view text = UpToZero(bytes.substr(kUtf8Mark.size()));
        return Lines(IsValidUtf8(text) ? std::string(text) : RepairUtf8(text));
    }
    if (bytes.starts_with(kUtf16LeMark)) return Lines(ToUtf8(Utf16Units(bytes.substr(2), true)));
    if (bytes.starts_with(kUtf16BeMark)) return Lines(ToUtf8(Utf16Units(bytes.substr(2), false)));

    std::string_view text = UpToZero(bytes);
    if (HasNonAscii(text)) return Lines(IsValidUtf8(text) ? std::string(text) : ToUtf8(GbkToUtf16(text)));
    return Lines(std::string(text));  // ASCII reads the same in every one of these encodings
}

}  // namespace tollenby
