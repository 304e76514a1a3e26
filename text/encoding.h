// Conversions between GBK texts and the UTF-8 / UTF-16 forms the rest of the world uses.
//
// GBK here is Windows code page 936 (0x80 <-> U+20AC, A1 A1 <-> U+3000). A character GBK cannot hold
// becomes one "?"; bytes that are not valid UTF-8 become one "?" per maximal invalid subsequence.
// Every routine is a pure function, safe to call from many threads at once.
#pragma once

#include <string>
#include <string_view>

#include "text/gbk_text.h"

namespace tollenby {

// Percent-encodes every byte as %XX (upper-case hex), except - . 0-9 A-Z a-z when keepUnreserved.
// With utf8 the UTF-8 bytes of the text are encoded, otherwise its GBK bytes.
Text UrlEncode(std::string_view text, bool keepUnreserved = false, bool utf8 = false);

// GBK text -> UTF-8 bytes of the same characters (the text ends at a zero byte, if any).
std::string AnsiToUtf8(std::string_view text);

// Appends the UTF-8 form of one code point (below 0x110000; surrogates are the caller's concern).
void AppendUtf8(std::string& out, char32_t c);

// UTF-8 bytes (a fetched page) -> GBK text, ending before the first zero byte.
Text Utf8ToLocal(std::string_view bytes);

// GBK text <-> UTF-16, for the windows and the spreadsheet.
std::u16string GbkToUtf16(std::string_view text);
Text Utf16ToGbk(std::u16string_view text);

}  // namespace tollenby
