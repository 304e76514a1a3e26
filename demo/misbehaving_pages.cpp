#include "demo/misbehaving_pages.h"

#include <httplib.h>

#include <algorithm>
#include <array>
#include <charconv>

namespace tollenby::demo {
namespace {

constexpr std::array<Misbehaviour, 11> kOrder{
    Misbehaviour::None,           Misbehaviour::None,     Misbehaviour::NeverAnswers,
    Misbehaviour::Drips,          Misbehaviour::Huge,     Misbehaviour::RedirectLoop,
    Misbehaviour::ResetsMidBody,  Misbehaviour::NotFound, Misbehaviour::Busy503Once,
    Misbehaviour::TooMany429Once, Misbehaviour::Late,
};

// Pages 1 and 2 of one keyword of the ordinary site, together holding exactly as many hits as there
// are behaviours; their entries lend the misbehaving rows titles, sources and detail pages.
std::string SourceKeyword() {
    for (int i = 0;; ++i) {
        std::string keyword = "flaky" + std::to_string(i);
        if (PageCount(keyword) < 2) continue;
        if (EntriesOnPage(keyword, 1, "").size() + EntriesOnPage(keyword, 2, "").size() == kOrder.size())
            return keyword;
    }
}

std::string PathOf(std::size_t index) {
    return "/flaky/" + std::to_string(index) + ".html";
}

void SendPage(httplib::Response& res, const std::string& html) {
    res.set_content(html, "text/html; charset=utf-8");
}

}  // namespace

std::vector<MisbehavingEntry> MisbehavingEntries(std::string_view baseUrl) {
    const std::string keyword = SourceKeyword();
    std::vector<DemoEntry> entries = EntriesOnPage(keyword, 1, baseUrl);
    std::vector<DemoEntry> second = EntriesOnPage(keyword, 2, baseUrl);
    entries.insert(entries.end(), second.begin(), second.end());
    std::vector<MisbehavingEntry> result;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        DemoEntry entry = entries[i];
        entry.url = std::string(baseUrl) + PathOf(i);
        result.push_back({std::move(entry), kOrder[i]});
    }
    return result;
}

bool MisbehavingPageIsRead(Misbehaviour behaviour) {
    switch (behaviour) {
        case Misbehaviour::None:
        case Misbehaviour::Busy503Once:
        case Misbehaviour::TooMany429Once:
        case Misbehaviour::Late:
            return true;
        default:
            return false;
    }
}

MisbehavingPages::MisbehavingPages() : entries_(MisbehavingEntries("")) {}

std::string MisbehavingPages::SearchPageHtml() const {
    const std::string keyword = SourceKeyword();
    const std::string base = baseUrl_();
    std::string html = demo::SearchPageHtml(keyword, "1", base) + demo::SearchPageHtml(keyword, "2", base);
    std::vector<DemoEntry> plain = EntriesOnPage(keyword, 1, base);
    std::vector<DemoEntry> second = EntriesOnPage(keyword, 2, base);
    plain.insert(plain.end(), second.begin(), second.end());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const std::string link = "href=\"" + plain[i].url + "\"";
        std::size_t at = html.find(link);
        if (at != std::string::npos) html.replace(at, link.size(), "href=\"" + base + PathOf(i) + "\"");
    }
    return html;
}

bool MisbehavingPages::WaitUnlessStopping(std::chrono::milliseconds wait) {
    std::unique_lock lock(lock_);
    return !stopping_.wait_for(lock, wait, [&] { return stopped_; });
}

bool MisbehavingPages::FirstAsk(const std::string& path) {
    std::lock_guard lock(lock_);
    return ++asked_[path] == 1;
}

void MisbehavingPages::Stop() {
    std::lock_guard lock(lock_);
    stopped_ = true;
    stopping_.notify_all();
}

void MisbehavingPages::Register(httplib::Server& server, std::function<std::string()> baseUrl,
                                const std::function<Handler(Handler)>& wrap) {
    baseUrl_ = std::move(baseUrl);
    server.Get(R"(/flaky/(\d+)\.html)", wrap([this](const httplib::Request& req, httplib::Response& res) {
                   std::size_t index = 0;
                   const std::string number = req.matches[1];
                   std::from_chars(number.data(), number.data() + number.size(), index);
                   if (index >= entries_.size()) {
                       res.status = 404;
                       return;
                   }
                   const MisbehavingEntry& entry = entries_[index];
                   const std::string page =
                       DetailPageHtml(entry.entry.id, baseUrl_()).value_or(std::string());
                   switch (entry.behaviour) {
                       case Misbehaviour::None:
                           SendPage(res, page);
                           return;
                       case Misbehaviour::NeverAnswers:
                           while (WaitUnlessStopping(std::chrono::hours(1))) {
                           }
                           return;
                       case Misbehaviour::Drips:
                           res.set_chunked_content_provider(
                               "text/html", [this](std::size_t, httplib::DataSink& sink) {
                                   return sink.write("<", 1) && WaitUnlessStopping(kDripInterval);
                               });
                           return;
                       case Misbehaviour::Huge:
                           res.set_content_provider(
                               kHugeBodyBytes, "text/html",
                               [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                   static const std::string block(64 * 1024, 'x');
                                   return sink.write(block.data(), std::min(length, block.size()));
                               });
                           return;
                       case Misbehaviour::RedirectLoop:
                           res.set_redirect(req.path);
                           return;
                       case Misbehaviour::ResetsMidBody:
                           res.set_content_provider(
                               page.size(), "text/html",
                               [page](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                   if (offset > 0) return false;  // closes the connection
                                   return sink.write(page.data(), page.size() / 3);
                               });
                           return;
                       case Misbehaviour::NotFound:
                           res.status = 404;
                           SendPage(res, "<html><body><h1>404</h1></body></html>\n");
                           return;
                       case Misbehaviour::Busy503Once:
                           if (FirstAsk(req.path)) {
                               res.status = 503;
                               SendPage(res, "<html><body>busy</body></html>\n");
                           } else {
                               SendPage(res, page);
                           }
                           return;
                       case Misbehaviour::TooMany429Once:
                           if (FirstAsk(req.path)) {
                               res.status = 429;
                               res.set_header("Retry-After", "1");
                               SendPage(res, "<html><body>slow down</body></html>\n");
                           } else {
                               SendPage(res, page);
                           }
                           return;
                       case Misbehaviour::Late:
                           if (WaitUnlessStopping(kLateAnswer)) SendPage(res, page);
                           return;
                   }
               }));
}

}  // namespace tollenby::demo
