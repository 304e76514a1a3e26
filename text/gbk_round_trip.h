// A fetched page in the form the pattern searches read it: UTF-8, holding only characters GBK can hold.
#pragma once

#include <string>
#include <string_view>

namespace tollenby {

// What AnsiToUtf8(Utf8ToLocal(bytes)) gives, in one pass over the bytes and without building the GBK
// text: the text ends before the first zero byte, a character GBK cannot hold becomes "?" and so does
// every maximal invalid UTF-8 subsequence. When `singleHighByte` is given it tells whether a character
// of the result is one GBK byte of 0x80 or more (the euro sign is one), which the GBK text routines
// would read as the first byte of a two-byte character.
std::string Utf8ThroughGbk(std::string_view bytes, bool* singleHighByte = nullptr);

// Whether the one-pass way is in use: its table of what GBK makes of each character is built from the
// converter on first use, and a converter whose answers cannot be paired with the characters sent leaves
// Utf8ThroughGbk making the two conversions instead.
bool GbkRoundTripTableReady();

}  // namespace tollenby
