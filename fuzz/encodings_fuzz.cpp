// The encodings over arbitrary bytes: a fetched page (any bytes, zeros included) into GBK, GBK texts
// (any bytes) into UTF-8, UTF-16 and percent escapes, and arbitrary UTF-16 (lone surrogates included)
// into GBK. Converted texts must convert back to themselves and escapes must decode to their bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
using fuzz::Check;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower-case digits are not allowed either
}

bool IsKept(unsigned char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Every byte of `source` is either itself (a kept character) or "%XX", in order, and nothing else.
void CheckEscapes(std::string_view encoded, std::string_view source, bool keepUnreserved) {
    std::size_t at = 0;
    for (char c : source) {
        auto byte = static_cast<unsigned char>(c);
        if (keepUnreserved && IsKept(byte)) {
            Check(at < encoded.size() && encoded[at] == c, "UrlEncode dropped a kept character");
            ++at;
            continue;
        }
        Check(at + 3 <= encoded.size() && encoded[at] == '%', "UrlEncode left a byte unescaped");
        int high = HexValue(encoded[at + 1]);
        int low = HexValue(encoded[at + 2]);
        Check(high >= 0 && low >= 0 && high * 16 + low == byte, "UrlEncode wrote a wrong escape");
        at += 3;
    }
    Check(at == encoded.size(), "UrlEncode wrote more than its input");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::AsBytes(data, size);

    // A page as it arrives: never a zero byte in the text, and the text survives the way back.
    const Text page = Utf8ToLocal(bytes);
    Check(page.find('\0') == std::string::npos, "Utf8ToLocal kept a zero byte");
    Check(Utf8ToLocal(AnsiToUtf8(page)) == page, "a converted page did not convert back to itself");
    Check(Utf16ToGbk(GbkToUtf16(page)) == page, "a converted page did not survive UTF-16");

    // The same bytes as a GBK text, which need not be valid GBK.
    const std::string_view text = CutAtZero(bytes);
    const std::string utf8 = AnsiToUtf8(text);
    Check(utf8.find('\0') == std::string::npos, "AnsiToUtf8 wrote a zero byte");
    Check(Utf8ToLocal(AnsiToUtf8(Utf8ToLocal(utf8))) == Utf8ToLocal(utf8), "AnsiToUtf8 output is unstable");
    Check(GbkToUtf16(text).find(u'\0') == std::u16string::npos, "GbkToUtf16 wrote a zero unit");
    for (bool keep : {false, true}) {
        CheckEscapes(UrlEncode(text, keep, false), text, keep);
        CheckEscapes(UrlEncode(text, keep, true), utf8, keep);
    }

    // Arbitrary UTF-16 units, the way a window hands text over.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const Text fromUnits = Utf16ToGbk(units);
    Check(Utf16ToGbk(GbkToUtf16(fromUnits)) == fromUnits, "UTF-16 -> GBK output did not convert back");
    return 0;
}
