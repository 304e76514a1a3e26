// FetchPage: one HTTP request, the response body as the result. Detail pages and QR images come
// through here.
//
// Cookies: unless `cookies` is passed, the request uses the process-wide cookie jar (cookies the site
// set earlier go out, cookies it sets now are kept, for every thread). Passing `cookies`, even empty,
// bypasses the jar: the text goes out as the one Cookie line and afterwards holds the merged cookie text.
//
// In/out and out arguments are pointers; nullptr leaves them out. A failed, timed-out, cancelled or
// over-cap transfer gives an empty result (an HTTP error status is no failure: its body comes back).
//
// The last argument, `control`, carries a cancel token, the status of the final response, a reusable
// session and replacement limits:
//     std::stop_source stop;  int status = 0;
//     ByteString page = FetchPage(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
//                                 {.stop = stop.get_token(), .statusCode = &status});
// Connections: each thread keeps one session of its own, so consecutive calls on a thread reuse their
// connections; pass `control.session` to use another (a new HttpSession gives a fresh handle).
// Call InitHttp() at start-up before starting threads that fetch.
#pragma once

#include "text/gbk_text.h"
#include "web/fetch_control.h"

namespace tollenby {

// method: 0 GET, 1 POST, 2 HEAD, anything else GET. newCookies: the cookies this response set ("; "-
// joined; without spaces when `cookies` was passed). headers: the caller's own lines in, the composed
// header text out. responseHeaders: the final response's header block, "Set-Cookie" in that letter
// case. postBytes: the body for a method other than GET; it receives `postText` when it was empty. A
// HEAD request carries no body. proxy: a proxy server ("host:port") for this request; when empty,
// the process's route (web/proxy_route.h), which is a direct connection unless a front end set one.
ByteString FetchPage(const Text& url, int method = 0, const Text& postText = {}, Text* cookies = nullptr,
                     Text* newCookies = nullptr, Text* headers = nullptr, Text* responseHeaders = nullptr,
                     bool noRedirect = false, ByteString* postBytes = nullptr, const Text& proxy = {},
                     const FetchControl& control = {});

}  // namespace tollenby
