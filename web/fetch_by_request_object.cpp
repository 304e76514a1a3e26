#include "web/fetch_by_request_object.h"

#include <algorithm>
#include <optional>
#include <string>

#include "web/cookies.h"
#include "web/curl_session.h"
#include "web/url_header.h"

namespace tollenby {
namespace {

// The caller's header lines as this fetcher sends them: name and value split at the first colon.
void AppendHeaderLines(CurlHeaderList& list, const Text& cookies, std::string_view composed) {
    if (!cookies.empty()) list.Append("Cookie: " + cookies);
    for (const Text& line : TextSplit(composed, "\r\n")) {
        if (line.empty()) continue;
        Text name = HeaderName(line);
        if (name.empty()) continue;  // a line without a name is not sent
        Text value = HeaderValue(line);
        // "Name:" alone would tell libcurl to drop the header; "Name;" sends it with an empty value.
        list.Append(value.empty() ? name + ";" : name + ": " + value);
    }
    list.Append("Expect:");  // no 100-continue round trip before a body
}

void SetProxy(CURL* easy, const Text& proxy, const Text& user, const Text& password, int target) {
    if (proxy.empty()) return;
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    if (user.empty()) return;
    // The credentials' target: 0 the server, 1 the proxy.
    if (target == 0) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, user.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password.c_str());
    }
}

}  // namespace

FetchLimits RequestObjectLimits(int timeoutSeconds) {
    if (timeoutSeconds == -1) {
        return {kLongestConnectTimeout, kLongestStallTimeout, kTransferCeiling, kMaxBodyBytes};
    }
    int seconds = timeoutSeconds < 1 ? kRequestObjectDefaultTimeoutSeconds : timeoutSeconds;
    milliseconds each = std::chrono::seconds(seconds);
    return {each, each, std::max(kTransferCeiling, 4 * each), kMaxBodyBytes};
}

ByteString FetchPageByRequestObject(const Text& url, int method, const Text& postText, Text* cookies,
                                    Text* newCookies, Text* headers, Text* responseHeaders, int* statusCode,
                                    bool noRedirect, const ByteString& postBytes, const Text& proxy,
                                    int timeoutSeconds, const Text& proxyUser, const Text& proxyPassword,
                                    int proxyCredentialTarget, HttpSession* requestObject,
                                    const FetchControl& control) {
    if (control.statusCode != nullptr) *control.statusCode = 0;
    if (control.failure != nullptr) *control.failure = TransferFailure::NoResponse;
    if (!InitHttp()) return {};
    std::optional<HttpSession> ownSession;
    HttpSession& session = requestObject != nullptr ? *requestObject : ownSession.emplace();
    if (!session.Valid()) return {};
    HttpSession::Impl& handles = session.Handles();
    CURL* easy = handles.Prepare();

    const std::string wireUrl = WireUrl(url);
    curl_easy_setopt(easy, CURLOPT_URL, wireUrl.c_str());
    SetProxy(easy, proxy, proxyUser, proxyPassword, proxyCredentialTarget);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, noRedirect ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);

    const Text composed = ComposeRequestObjectHeaders(headers != nullptr ? *headers : Text(), url);
    if (headers != nullptr) *headers = composed;
    const Text cookieText = cookies != nullptr ? *cookies : Text();
    CurlHeaderList headerList;
    AppendHeaderLines(headerList, cookieText, composed);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList.get());

    const ByteString& body = postBytes.empty() ? postText : postBytes;
    if (method == 2) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == 1 || !body.empty()) {
        // A body given with GET goes out with GET as well.
        if (method != 1) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "GET");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }

    TransferResult result =
        handles.Perform(control.limits.value_or(RequestObjectLimits(timeoutSeconds)), control.stop);

    Text block = NormalizeSetCookieCase(result.headerBlock);
    Text gathered = GatherNewCookies(block);
    if (responseHeaders != nullptr) *responseHeaders = std::move(block);
    if (statusCode != nullptr) *statusCode = result.status;
    if (control.statusCode != nullptr) *control.statusCode = result.status;
    if (control.failure != nullptr) *control.failure = result.failure;
    Text merged = cookieText;
    MergeCookies(merged, gathered);
    if (cookies != nullptr) *cookies = std::move(merged);
    if (newCookies != nullptr) *newCookies = std::move(gathered);
    return std::move(result.body);
}

}  // namespace tollenby
