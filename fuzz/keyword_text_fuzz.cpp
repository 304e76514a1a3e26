// Keyword file decoding over arbitrary bytes: byte-order marks, UTF-8, GBK, zero bytes and every mix
// of CR and LF. The text is always valid UTF-8 with LF line ends only; an ASCII file keeps its
// characters and its lines, and a UTF-8 file with a byte-order mark keeps its text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "text/keyword_text.h"

namespace {

using namespace tollenby;
using fuzz::Check;

// Strict UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        unsigned char lead = byte(i);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
        }
        if (length == 3 && ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0)))
            return false;
        if (length == 4 && ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90)))
            return false;
        i += length;
    }
    return true;
}

// CR LF and a lone CR become LF.
std::string WithLineFeeds(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsPlainAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::AsBytes(data, size);
    const std::string text = DecodeKeywordBytes(bytes);
    Check(IsValidUtf8(text), "the decoded text is not valid UTF-8");
    Check(text.find('\r') == std::string::npos, "the decoded text keeps a CR");
    if (IsPlainAscii(bytes)) {
        Check(text == WithLineFeeds(bytes), "an ASCII file changed more than its line ends");
    }
    const std::string withMark = "\xEF\xBB\xBF" + std::string(bytes);
    if (IsValidUtf8(bytes) && bytes.find('\0') == std::string_view::npos) {
        Check(DecodeKeywordBytes(withMark) == WithLineFeeds(bytes), "a UTF-8 file with its mark lost text");
    }
    return 0;
}
