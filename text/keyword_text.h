// Turning the bytes of a keyword file into text, for the window's keyword box and the command line alike.
//
// Most text files here are UTF-8, while older keyword lists are GBK. A file that starts with a UTF-8 or
// UTF-16 byte-order mark, or that is valid UTF-8 and holds non-ASCII bytes, is decoded as such; every other
// file is taken as GBK bytes up to the first zero byte. LF, CR LF and a lone CR all end a line; the result
// uses LF.
#pragma once

#include <string>
#include <string_view>

namespace tollenby {

// The decoded text as UTF-8. Bytes that cannot be decoded become U+FFFD (or "?" for GBK), so nothing
// before or after them is lost.
std::string DecodeKeywordBytes(std::string_view bytes);

}  // namespace tollenby
