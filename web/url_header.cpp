#include "web/url_header.h"

#include <charconv>

namespace tollenby {
namespace {

Text WithQuotes(std::string_view marker) {
    return TextReplace(marker, kQuoteMarker, "\"");
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Splits a header line at its first colon; npos when it has none.
std::size_t FirstColon(std::string_view line) {
    return TextFind(line, ":");
}

// Appends the default line `key value` unless `key` already occurs somewhere in the text.
void AddMissing(Text& headers, std::string_view key, std::string_view value) {
    if (TextContains(headers, key)) return;
    headers.append("\r\n").append(key).append(" ").append(value);
}

// The steps both variants share, up to the point where they differ.
Text ComposeCommon(std::string_view callerHeaders, std::string_view url) {
    Text headers(callerHeaders);
    if (headers.empty()) {
        headers = "Accept: */*";
    } else {
        AddMissing(headers, "Accept:", "*/*");
    }
    AddMissing(headers, "Referer:", url);
    AddMissing(headers, "Accept-Language:", "zh-cn");
    return headers;
}

constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";

}  // namespace

Text TextBetween(std::string_view text, std::string_view left, std::string_view right, long start,
                 bool ignoreCase) {
    Text leftMarker = WithQuotes(left);
    Text rightMarker = WithQuotes(right);
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
    std::size_t leftAt = TextFind(text, leftMarker, from, ignoreCase);
    if (leftAt == kNotFound) return Text();
    std::size_t inner = leftAt + leftMarker.size();
    std::size_t rightAt = TextFind(text, rightMarker, inner, ignoreCase);
    if (rightAt == kNotFound) return Text();
    return Text(text.substr(inner, rightAt - inner));
}

Text HeaderName(std::string_view line) {
    std::size_t colon = FirstColon(line);
    return colon == kNotFound ? Text() : TextTrim(line.substr(0, colon));
}

Text HeaderValue(std::string_view line) {
    std::size_t colon = FirstColon(line);
    return colon == kNotFound ? Text() : TextTrim(line.substr(colon + 1));
}

Text UrlHost(std::string_view url, bool keepPort) {
    Text address = AsciiLower(url);
    if (address.empty() || address.back() != '/') address.push_back('/');
    std::string_view scheme = "https://";
    if (!StartsWith(address, scheme)) {
        scheme = "http://";
        if (!TextContains(address, scheme)) address.insert(0, scheme);
    }
    Text host = TextBetween(address, scheme, "/");
    if (!keepPort) {
        std::size_t colon = FirstColon(host);
        if (colon != kNotFound) host.resize(colon);
    }
    return host;
}

int UrlPort(std::string_view url) {
    Text host = UrlHost(url, true);
    // ':' (0x3A) is never the second byte of a GBK character, so a plain byte search is exact here.
    // An empty port ("h.test:", or the "ftp:" that an address of another scheme leaves) means the default.
    std::size_t colon = host.rfind(':');
    if (colon != kNotFound && colon + 1 < host.size()) {
        std::string_view digits = std::string_view(host).substr(colon + 1);
        int port = 0;
        if (digits[0] < '0' || digits[0] > '9') return 0;
        auto result = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        return result.ec == std::errc() ? port : 0;
    }
    return AsciiLower(url.substr(0, 5)) == "https" ? 443 : 80;
}

Text UrlPath(std::string_view url) {
    Text host = UrlHost(url);
    // Look for the host behind the scheme, so a host that also spells part of the scheme ("http", "tp")
    // is not found inside it.
    std::size_t from = 0;
    Text lower = AsciiLower(url.substr(0, 8));
    if (StartsWith(lower, "https://")) {
        from = 8;
    } else if (StartsWith(lower, "http://")) {
        from = 7;
    }
    std::size_t hostAt = TextFind(url, host, from, true);
    if (hostAt == kNotFound) return "/";
    std::size_t slash = TextFind(url, "/", hostAt);
    return slash == kNotFound ? Text("/") : Text(url.substr(slash));
}

Text ComposeFetchPageHeaders(std::string_view callerHeaders, std::string_view url, std::string_view cookies) {
    Text headers = ComposeCommon(callerHeaders, url);
    AddMissing(headers, "Content-Type:", kFormContentType);
    if (!cookies.empty()) headers.append("\r\nCookie: ").append(cookies);
    return headers;
}

Text ComposeRequestObjectHeaders(std::string_view callerHeaders, std::string_view url) {
    Text headers = ComposeCommon(callerHeaders, url);
    AddMissing(headers, "User-Agent:", kDefaultAgent);
    AddMissing(headers, "Content-Type:", kFormContentType);
    return headers;
}

}  // namespace tollenby
