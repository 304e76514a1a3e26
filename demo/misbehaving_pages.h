// The demo site's misbehaving mode: one search page whose hits lead to detail pages that fail in the
// ways a real directory site fails, so runs can be tried and measured against them.
//
// In this mode the first search page of every keyword lists these hits and every later page answers
// 500, so a run with two pages per keyword also meets a search page that cannot be read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "demo/demo_content.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tollenby::demo {

enum class Misbehaviour {
    None,            // the page, at once
    NeverAnswers,    // takes the request and never answers
    Drips,           // 200, then one body byte every kDripInterval
    Huge,            // 200 with a body of kHugeBodyBytes
    RedirectLoop,    // redirects to itself for ever
    ResetsMidBody,   // announces the page's length, sends part of it and closes the connection
    NotFound,        // 404
    Busy503Once,     // 503 the first time, then the page
    TooMany429Once,  // 429 with Retry-After: 1 the first time, then the page
    Late,            // the page after kLateAnswer
};

inline constexpr std::chrono::milliseconds kDripInterval{5000};
inline constexpr std::chrono::milliseconds kLateAnswer{4000};
inline constexpr std::size_t kHugeBodyBytes = std::size_t{1} << 30;

struct MisbehavingEntry {
    DemoEntry entry;  // url is the misbehaving address; the fields are those of the page it serves
    Misbehaviour behaviour = Misbehaviour::None;
};

// The hits of the misbehaving search page, in page order, with links under `baseUrl`. Every
// misbehaviour occurs once; the two first hits behave.
std::vector<MisbehavingEntry> MisbehavingEntries(std::string_view baseUrl);

// True when a row the program filled from `entry` reads its page in the end (retries included).
bool MisbehavingPageIsRead(Misbehaviour behaviour);

// The routes and the state behind them (how often each once-failing page has been asked for, and the
// requests held open). Stop() releases every held request; the server's own stop waits for those.
class MisbehavingPages {
  public:
    MisbehavingPages();
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    // `baseUrl` gives the site's own address once it listens; `wrap` puts the site's request log
    // around the handler.
    void Register(httplib::Server& server, std::function<std::string()> baseUrl,
                  const std::function<Handler(Handler)>& wrap);
    std::string SearchPageHtml() const;
    void Stop();

  private:
    bool WaitUnlessStopping(std::chrono::milliseconds wait);  // false when stopping
    bool FirstAsk(const std::string& path);

    std::function<std::string()> baseUrl_;
    std::vector<MisbehavingEntry> entries_;
    std::mutex lock_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::map<std::string, int> asked_;
};

}  // namespace tollenby::demo
