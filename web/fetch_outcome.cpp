#include "web/fetch_outcome.h"

#include <array>
#include <charconv>
#include <ctime>
#include <vector>

#include "web/url_header.h"

namespace tollenby {
namespace {

bool IsTransientStatus(int status) {
    switch (status) {
        case 408:
        case 429:
        case 500:
        case 502:
        case 503:
        case 504:
            return true;
        default:
            return false;
    }
}

int MonthIndex(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (AsciiLower(name) == kMonths[i]) return static_cast<int>(i);
    return -1;
}

// Splits at spaces, commas and colons; the three date forms then read as fixed sequences of fields.
std::vector<std::string_view> DateFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        bool cut = i == text.size() || text[i] == ' ' || text[i] == ',' || text[i] == ':' || text[i] == '-';
        if (!cut) continue;
        if (i > start) fields.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return fields;
}

bool ReadInt(std::string_view text, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<std::chrono::system_clock::time_point> ParseHttpDate(std::string_view text) {
    std::vector<std::string_view> f = DateFields(text);
    // IMF-fixdate: Sun, 06 Nov 1994 08:49:37 GMT   RFC 850: Sunday, 06-Nov-94 08:49:37 GMT
    // asctime:     Sun Nov  6 08:49:37 1994
    std::string_view day, month, year, hour, minute, second;
    if (f.size() == 8 && AsciiLower(f[7]) == "gmt") {
        day = f[1], month = f[2], year = f[3], hour = f[4], minute = f[5], second = f[6];
    } else if (f.size() == 7) {
        month = f[1], day = f[2], hour = f[3], minute = f[4], second = f[5], year = f[6];
    } else {
        return std::nullopt;
    }
    std::tm parts{};
    int y = 0;
    if (!ReadInt(day, parts.tm_mday) || !ReadInt(year, y) || !ReadInt(hour, parts.tm_hour) ||
        !ReadInt(minute, parts.tm_min) || !ReadInt(second, parts.tm_sec))
        return std::nullopt;
    parts.tm_mon = MonthIndex(month);
    if (parts.tm_mon < 0) return std::nullopt;
    if (year.size() == 2) y += y < 70 ? 2000 : 1900;
    parts.tm_year = y - 1900;
    if (parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 ||
        parts.tm_sec > 60)
        return std::nullopt;
    std::time_t when = timegm(&parts);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return std::chrono::system_clock::from_time_t(when);
}

}  // namespace

FetchVerdict ClassifyFetch(TransferFailure transfer, int status, std::size_t bodySize) {
    switch (transfer) {
        case TransferFailure::None:
            break;
        case TransferFailure::Cancelled:
            return FetchVerdict::Cancelled;
        case TransferFailure::NoResponse:
        case TransferFailure::TimedOut:
            return FetchVerdict::Transient;
        case TransferFailure::BadAddress:
        case TransferFailure::OverCap:
        case TransferFailure::TooManyRedirects:
            return FetchVerdict::Permanent;
    }
    if (status == 0) return FetchVerdict::Transient;  // a transfer that ended without any response
    if (IsTransientStatus(status)) return FetchVerdict::Transient;
    if (status < 200 || status > 299) return FetchVerdict::Permanent;
    return bodySize > 0 ? FetchVerdict::Ok : FetchVerdict::Permanent;
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value,
                                                    std::chrono::system_clock::time_point now) {
    Text trimmed = TextTrim(value);
    if (trimmed.empty()) return std::nullopt;
    if (trimmed.find_first_not_of("0123456789") == Text::npos) {
        long long seconds = 0;
        auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), seconds);
        // A number too large to read is a very long wait; the caller caps it anyway.
        if (error == std::errc::result_out_of_range) return std::chrono::seconds::max();
        if (error != std::errc() || end != trimmed.data() + trimmed.size()) return std::nullopt;
        return std::chrono::seconds(seconds);
    }
    std::optional<std::chrono::system_clock::time_point> when = ParseHttpDate(trimmed);
    if (!when) return std::nullopt;
    if (*when <= now) return std::chrono::seconds(0);
    return std::chrono::ceil<std::chrono::seconds>(*when - now);
}

std::optional<Text> HeaderFieldValue(std::string_view headerBlock, std::string_view name) {
    for (const Text& line : TextSplit(headerBlock, "\r\n")) {
        std::size_t colon = line.find(':');
        if (colon == Text::npos) continue;
        if (AsciiLower(TextTrim(std::string_view(line).substr(0, colon))) != AsciiLower(name)) continue;
        return TextTrim(std::string_view(line).substr(colon + 1));
    }
    return std::nullopt;
}

FetchOutcome MakeFetchOutcome(ByteString body, int status, TransferFailure transfer,
                              std::string_view headerBlock, std::chrono::system_clock::time_point now) {
    FetchOutcome outcome;
    outcome.verdict = ClassifyFetch(transfer, status, body.size());
    outcome.body = std::move(body);
    outcome.status = status;
    outcome.transfer = transfer;
    outcome.attempts = 1;
    if (status == 429 || status == 503) {
        if (std::optional<Text> value = HeaderFieldValue(headerBlock, "Retry-After"))
            outcome.retryAfter = ParseRetryAfter(*value, now);
    }
    return outcome;
}

}  // namespace tollenby
