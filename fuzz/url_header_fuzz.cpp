// The address and header helpers over arbitrary addresses, header lines and caller header texts.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/gbk_text.h"
#include "web/url_header.h"

namespace {

using namespace tollenby;
using fuzz::Check;

void CheckAddress(std::string_view url) {
    Text host = UrlHost(url);
    Text hostPort = UrlHost(url, true);
    Check(AsciiLower(host) == host && AsciiLower(hostPort) == hostPort, "UrlHost kept upper-case letters");
    Check(TextFind(hostPort, "/") == kNotFound, "UrlHost holds a slash");
    Check(TextFind(host, ":") == kNotFound, "UrlHost without the port holds a colon");
    Check(hostPort.substr(0, host.size()) == host, "UrlHost with the port does not start with the host");
    int port = UrlPort(url);
    Check(port >= 0, "UrlPort is negative");
    Text path = UrlPath(url);
    Check(!path.empty() && path[0] == '/', "UrlPath does not start with a slash");
    Check(path == "/" || url.find(path) != std::string_view::npos, "UrlPath is not a piece of the address");
}

void CheckHeaderLine(std::string_view line) {
    Text name = HeaderName(line);
    Text value = HeaderValue(line);
    if (TextFind(line, ":") == kNotFound) {
        Check(name.empty() && value.empty(), "a line without a colon gave a name or value");
        return;
    }
    Check(TextFind(name, ":") == kNotFound, "HeaderName holds a colon");
    Check(TextTrim(name) == name && TextTrim(value) == value, "header parts are not trimmed");
}

// Every default line is there once the caller's text lacks its key, and the caller's text leads.
void CheckComposed(std::string_view headers, std::string_view caller, bool requestObject) {
    Check(headers.substr(0, caller.size()) == caller, "the caller's header text is not kept in front");
    for (std::string_view key : {"Accept:", "Referer:", "Accept-Language:", "Content-Type:"}) {
        Check(TextContains(headers, key), "a default header line is missing");
    }
    if (requestObject) Check(TextContains(headers, "User-Agent:"), "the agent line is missing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> p = fuzz::Pieces(fuzz::AsBytes(data, size), 3);
    CheckAddress(p[0]);
    CheckHeaderLine(p[1]);
    for (std::string_view line : TextSplit(p[1], "\r\n")) CheckHeaderLine(line);
    CheckComposed(ComposeFetchPageHeaders(p[1], p[0], p[2]), p[1], false);
    CheckComposed(ComposeRequestObjectHeaders(p[1], p[0]), p[1], true);
    Text withCookies = ComposeFetchPageHeaders(p[1], p[0], p[2]);
    Check(p[2].empty() || withCookies.ends_with(p[2]), "the cookie text is not the last line");
    return 0;
}
