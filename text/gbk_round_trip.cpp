#include "text/gbk_round_trip.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "text/encoding.h"

namespace tollenby {
namespace {

constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;

// What a character of the Basic Multilingual Plane becomes on its way through GBK: itself or another
// character, "?" (kToQuestionMark), or nothing at all (kToNothing: the converter drops default-ignorable
// characters such as U+200B); and whether GBK holds it in one byte of 0x80 or more.
constexpr char16_t kToQuestionMark = 0;
constexpr char16_t kToNothing = 0xFFFF;

struct RoundTripTable {
    std::array<char16_t, 0x10000> to{};
    std::array<bool, 0x10000> singleHighByte{};
    bool usable = false;
};

// Built once from the converter itself, by sending every character through it in one text, each
// followed by a line feed: what comes back between two line feeds is what that character became. A
// converter that broke that pairing leaves the table unusable, and the two conversions are made instead.
std::unique_ptr<RoundTripTable> BuildTable() {
    auto table = std::make_unique<RoundTripTable>();
    std::string all;
    std::u16string sent;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= kSurrogateFirst && c <= kSurrogateLast) continue;
        AppendUtf8(all, c);
        all += '\n';
        sent += static_cast<char16_t>(c);
    }
    const std::u16string back = GbkToUtf16(Utf8ToLocal(all));
    std::size_t from = 0;
    for (char16_t c : sent) {
        const std::size_t end = back.find(u'\n', from);
        if (end == std::u16string::npos || end - from > 1) return table;
        if (end == from) {
            table->to[c] = kToNothing;
        } else {
            const char16_t got = back[from];
            if (got == kToNothing || (got >= kSurrogateFirst && got <= kSurrogateLast)) return table;
            table->to[c] = got == u'?' ? kToQuestionMark : got;
        }
        from = end + 1;
    }
    if (from != back.size()) return table;
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::u16string c = GbkToUtf16(one);
        if (c.size() == 1 && Utf16ToGbk(c) == one) table->singleHighByte[c[0]] = true;
    }
    for (char32_t c = 0; c < 0x80; ++c) table->to[c] = static_cast<char16_t>(c);
    table->usable = true;
    return table;
}

const RoundTripTable& Table() {
    static const std::unique_ptr<RoundTripTable> table = BuildTable();
    return *table;
}

bool IsTrail(unsigned char b) {
    return b >= 0x80 && b <= 0xBF;
}

// Beyond every code point: what Decode gives for a maximal invalid subsequence.
constexpr char32_t kInvalid = 0x110000;

// Decodes the character at `at`. Returns its length in bytes and sets `c`; a maximal invalid
// subsequence gives its length and c = kInvalid.
std::size_t Decode(std::string_view s, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(s[at]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        c = kInvalid;
        return 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= s.size()) {
            c = kInvalid;
            return k;
        }
        const auto b = static_cast<unsigned char>(s[at + k]);
        const bool fits = k == 1 ? (b >= low && b <= high) : IsTrail(b);
        if (!fits) {
            c = kInvalid;
            return k;
        }
        c = (c << 6) | (b & 0x3F);
    }
    return length;
}

}  // namespace

bool GbkRoundTripTableReady() {
    return Table().usable;
}

std::string Utf8ThroughGbk(std::string_view bytes, bool* singleHighByte) {
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    if (singleHighByte != nullptr) *singleHighByte = false;
    const RoundTripTable& table = Table();
    if (!table.usable) {
        std::string out = AnsiToUtf8(Utf8ToLocal(bytes));
        if (singleHighByte != nullptr) {
            // Without the table every high byte counts, which only sends the caller the slow way.
            for (char unit : Utf8ToLocal(bytes)) {
                if (static_cast<unsigned char>(unit) >= 0x80) *singleHighByte = true;
            }
        }
        return out;
    }
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        // Markup is mostly ASCII, which passes unchanged.
        std::size_t run = at;
        while (run + 8 <= bytes.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + run, sizeof word);
            if ((word & 0x8080808080808080u) != 0) break;
            run += 8;
        }
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
        out.append(bytes.substr(at, run - at));
        at = run;
        if (at >= bytes.size()) break;
        char32_t c = 0;
        const std::size_t length = Decode(bytes, at, c);
        if (c == kInvalid) {
            out += '?';
        } else if (c >= 0x10000) {
            // Beyond the plane GBK draws from: "?", or nothing for an ignorable one; rare enough on a page
            // to ask the converter.
            out += AnsiToUtf8(Utf8ToLocal(bytes.substr(at, length)));
        } else if (const char16_t to = table.to[c]; to == kToQuestionMark) {
            out += '?';
        } else if (to != kToNothing) {
            if (to == c)
                out.append(bytes.substr(at, length));
            else
                AppendUtf8(out, to);
            if (singleHighByte != nullptr && table.singleHighByte[to]) *singleHighByte = true;
        }
        at += length;
    }
    return out;
}

}  // namespace tollenby
