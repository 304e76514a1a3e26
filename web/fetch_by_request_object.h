// FetchPageByRequestObject: one HTTP request as the search pages need it, the response body as the
// result. Unlike FetchPage it keeps no cookies between calls (only what the caller carries in
// `cookies`), always announces the default agent unless told otherwise, and ignores certificate errors.
//
// In/out and out arguments are pointers; nullptr leaves them out. A failed, timed-out, cancelled or
// over-cap transfer gives an empty result, status 0 and empty response headers; an HTTP error status
// is no failure.
//
// timeoutSeconds maps onto libcurl as follows (see web/fetch_limits.h):
//   below 1 (not -1)  connect time-out 15 s and stall time-out 15 s
//   n >= 1            connect time-out n s and stall time-out n s
//   -1                the longest: connect 60 s, stall 30 s
// The connect time-out (CURLOPT_CONNECTTIMEOUT_MS) covers name resolution, TCP and TLS; the stall
// time-out ends a transfer that has neither sent nor received a byte for that long once the request is
// under way, so a slow transfer that keeps moving is not cut short. The whole transfer stays under
// max(kTransferCeiling, 4 n).
//
// requestObject: a session of the caller's to run on (its connections are reused); by default a fresh
// one lives for the call. control: cancel token and replacement limits, as for FetchPage.
#pragma once

#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

// method: 0 GET, 1 POST, 2 HEAD, anything else GET. cookies: sent as the first header line when not
// empty, afterwards the merged cookie text. newCookies: the cookies this response set, spaces removed.
// headers: the caller's own lines in, the composed header text out. responseHeaders: the response's
// header block, "Set-Cookie" in that letter case. statusCode: HTTP status, 0 when none came. postBytes,
// when not empty, is sent instead of postText. proxy: "host:port"; proxyUser / proxyPassword are given
// to it when proxyCredentialTarget is 1 and to the server when it is 0.
ByteString FetchPageByRequestObject(const Text& url, int method = 0, const Text& postText = {},
                                    Text* cookies = nullptr, Text* newCookies = nullptr,
                                    Text* headers = nullptr, Text* responseHeaders = nullptr,
                                    int* statusCode = nullptr, bool noRedirect = false,
                                    const ByteString& postBytes = {}, const Text& proxy = {},
                                    int timeoutSeconds = 0, const Text& proxyUser = {},
                                    const Text& proxyPassword = {}, int proxyCredentialTarget = 1,
                                    HttpSession* requestObject = nullptr, const FetchControl& control = {});

// The limits FetchPageByRequestObject applies for a timeoutSeconds value.
FetchLimits RequestObjectLimits(int timeoutSeconds);

}  // namespace tollenby
