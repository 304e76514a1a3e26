#include "web/fetch_page.h"

#include <string>

#include "web/cookies.h"
#include "web/curl_session.h"
#include "web/url_header.h"

namespace tollenby {
namespace {

bool IsSecure(std::string_view url) {
    return AsciiLower(url.substr(0, 5)) == "https";
}

// The caller's User-Agent line, whatever its letter case, names the agent; otherwise the default one.
Text AgentOf(std::string_view headers) {
    constexpr std::string_view kKey = "User-Agent:";
    std::size_t at = TextFind(headers, kKey, 0, true);
    if (at == kNotFound) return Text(kDefaultAgent);
    std::size_t from = at + kKey.size();
    std::size_t end = TextFind(headers, "\r\n", from);
    return TextTrim(headers.substr(from, end == kNotFound ? std::string_view::npos : end - from));
}

// The request goes to UrlHost at UrlPort for UrlPath, over TLS when the address starts with "https".
std::string RequestUrl(std::string_view url) {
    std::string request = IsSecure(url) ? "https://" : "http://";
    request += UrlHost(url);
    request += ':';
    request += std::to_string(UrlPort(url));
    request += UrlPath(url);
    return WireUrl(request);
}

// Consecutive fetches on one thread keep their connections (twice the loopback rate, and no new TLS
// handshake per QR image); a connection cache is never shared between threads.
HttpSession& ThreadSession() {
    thread_local HttpSession session;
    return session;
}

void AppendHeaderLines(CurlHeaderList& list, std::string_view composed) {
    for (const Text& line : TextSplit(composed, "\r\n")) {
        if (!line.empty()) list.Append(line);
    }
    list.Append("Expect:");  // no 100-continue round trip before a body
}

}  // namespace

ByteString FetchPage(const Text& url, int method, const Text& postText, Text* cookies, Text* newCookies,
                     Text* headers, Text* responseHeaders, bool noRedirect, ByteString* postBytes,
                     const Text& proxy, const FetchControl& control) {
    if (control.statusCode != nullptr) *control.statusCode = 0;
    if (control.failure != nullptr) *control.failure = TransferFailure::NoResponse;
    if (!InitHttp()) return {};
    HttpSession& session = control.session != nullptr ? *control.session : ThreadSession();
    if (!session.Valid()) return {};
    HttpSession::Impl& handles = session.Handles();
    CURL* easy = handles.Prepare();

    const std::string requestUrl = RequestUrl(url);
    curl_easy_setopt(easy, CURLOPT_URL, requestUrl.c_str());
    const Text callerHeaders = headers != nullptr ? *headers : Text();
    const Text agent = AgentOf(callerHeaders);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
    // A fetch that names no proxy takes the process's route (direct unless the front end chose otherwise).
    if (!proxy.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, noRedirect ? 0L : 1L);

    // The caller's cookie text bypasses the jar; it goes out through CURLOPT_COOKIE, so the composed
    // header text (which shows it as its last line) is sent without its Cookie line.
    if (cookies == nullptr) {
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        curl_easy_setopt(easy, CURLOPT_SHARE, SharedCookieJar());
    } else if (!cookies->empty()) {
        curl_easy_setopt(easy, CURLOPT_COOKIE, cookies->c_str());
    }
    const Text composed = ComposeFetchPageHeaders(callerHeaders, url, cookies != nullptr ? *cookies : Text());
    if (headers != nullptr) *headers = composed;
    CurlHeaderList headerList;
    AppendHeaderLines(headerList, ComposeFetchPageHeaders(callerHeaders, url, {}));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList.get());

    ByteString body;
    if (method == 1 || method == 2) {
        body = postBytes != nullptr && !postBytes->empty() ? *postBytes : ByteString(postText);
        if (postBytes != nullptr) *postBytes = body;
    }
    if (method == 1) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    } else if (method == 2) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }

    TransferResult result = handles.Perform(control.limits.value_or(kFetchPageLimits), control.stop);

    Text block = NormalizeSetCookieCase(result.headerBlock);
    Text gathered = GatherNewCookies(block);
    if (responseHeaders != nullptr) *responseHeaders = std::move(block);
    if (cookies != nullptr) MergeCookies(*cookies, gathered);
    if (newCookies != nullptr) *newCookies = std::move(gathered);
    if (control.statusCode != nullptr) *control.statusCode = result.status;
    if (control.failure != nullptr) *control.failure = result.failure;
    return std::move(result.body);
}

}  // namespace tollenby
