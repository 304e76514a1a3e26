#include "text/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <memory>

namespace tollenby {
namespace {

// ICU converters are not thread-safe; each thread keeps its own, so no lock is taken per call.
struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

UConverter* GbkConverter() {
    thread_local ConverterPtr converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr c(ucnv_open("windows-936", &status));
        if (c) {
            status = U_ZERO_ERROR;
            ucnv_setSubstChars(c.get(), "?", 1, &status);
        }
        return c;
    }();
    return converter.get();
}

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out(utf8.size() + 1, u'\0');  // UTF-16 never needs more units than UTF-8 bytes
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                         utf8.data(), static_cast<int32_t>(utf8.size()), u'?', nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out(utf16.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                       reinterpret_cast<const UChar*>(utf16.data()), static_cast<int32_t>(utf16.size()), u'?',
                       nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace

Text UrlEncode(std::string_view text, bool keepUnreserved, bool utf8) {
    if (text.empty()) return Text();
    std::string bytes = utf8 ? AnsiToUtf8(text) : std::string(text);
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        bool keep = keepUnreserved && (b == '-' || b == '.' || (b >= '0' && b <= '9') ||
                                       (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'));
        if (keep) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
    }
    return out;
}

std::u16string GbkToUtf16(std::string_view text) {
    text = CutAtZero(text);
    if (text.empty()) return {};
    if (IsAscii(text)) return std::u16string(text.begin(), text.end());
    UConverter* gbk = GbkConverter();
    if (!gbk) return {};
    std::u16string out(text.size() + 1, u'\0');  // every GBK character yields one UTF-16 unit
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(gbk);
    int32_t length =
        ucnv_toUChars(gbk, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                      text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

Text Utf16ToGbk(std::u16string_view text) {
    if (text.empty()) return Text();
    UConverter* gbk = GbkConverter();
    if (!gbk) return Text();
    Text out(text.size() * 2 + 1, '\0');  // at most two bytes per UTF-16 unit
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(gbk);
    int32_t length = ucnv_fromUChars(gbk, out.data(), static_cast<int32_t>(out.size()),
                                     reinterpret_cast<const UChar*>(text.data()),
                                     static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return Text();
    out.resize(static_cast<std::size_t>(length));
    return Text(CutAtZero(out));
}

std::string AnsiToUtf8(std::string_view text) {
    text = CutAtZero(text);
    if (IsAscii(text)) return std::string(text);
    return Utf16ToUtf8(GbkToUtf16(text));
}

Text Utf8ToLocal(std::string_view bytes) {
    // A zero byte is a character of its own in UTF-8, so cutting before converting is the same as after.
    bytes = CutAtZero(bytes);
    if (IsAscii(bytes)) return Text(bytes);
    return Utf16ToGbk(Utf8ToUtf16(bytes));
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace tollenby
