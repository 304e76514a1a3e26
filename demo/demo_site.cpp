#include "demo/demo_site.h"

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>

namespace tollenby::demo {
namespace {

// Enough serving threads that a client with 20 workers and a search job is never queued behind the
// site's own pool: the throttle tests must see the client's limit, not ours.
constexpr std::size_t kServingThreads = 48;

std::optional<std::uint32_t> IdFromMatch(const std::string& text) {
    std::uint32_t id = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return id;
}

void SendHtml(httplib::Response& res, const std::string& html) {
    res.set_content(html, "text/html; charset=utf-8");
}

void SendNotFound(httplib::Response& res) {
    res.status = 404;
    SendHtml(res, "<html><body><h1>404</h1><p>页面不存在</p></body></html>\n");
}

// httplib listens with a backlog of 5, so a burst of connections (20 workers starting at once) overflows
// it and the dropped connections come back only with the client's SYN retry a second later. httplib
// does not hand out its socket; find the one listening on our port and listen again with a deep
// backlog, which Linux allows on a listening socket.
void DeepenListenBacklog(int port) {
    for (int fd = 0; fd < 4096; ++fd) {
        int listening = 0;
        socklen_t length = sizeof listening;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening) continue;
        sockaddr_in address{};
        socklen_t addressLength = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0) continue;
        if (address.sin_family == AF_INET && ntohs(address.sin_port) == port) ::listen(fd, SOMAXCONN);
    }
}

}  // namespace

// Counts a request as in flight for as long as its handler runs.
class DemoSite::InFlightScope {
  public:
    InFlightScope(DemoSite& site, const std::string& target) : site_(site) {
        std::lock_guard lock(site_.mutex_);
        ++site_.inFlight_;
        site_.maxInFlight_ = std::max(site_.maxInFlight_, site_.inFlight_);
        site_.records_.push_back({target, site_.inFlight_, std::chrono::steady_clock::now()});
        site_.changed_.notify_all();
    }
    ~InFlightScope() {
        std::lock_guard lock(site_.mutex_);
        --site_.inFlight_;
        site_.changed_.notify_all();
    }
    InFlightScope(const InFlightScope&) = delete;
    InFlightScope& operator=(const InFlightScope&) = delete;

  private:
    DemoSite& site_;
};

DemoSite::DemoSite(const std::string& certificateFile, const std::string& keyFile)
    : DemoSite(std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str())) {
    secure_ = true;
}

DemoSite::DemoSite() : DemoSite(std::make_unique<httplib::Server>()) {}

DemoSite::DemoSite(std::unique_ptr<httplib::Server> server)
    : misbehaving_(std::make_unique<MisbehavingPages>()), server_(std::move(server)) {
    // httplib takes ownership of the queue it is handed and deletes it when it stops.
    server_->new_task_queue = [] { return std::make_unique<httplib::ThreadPool>(kServingThreads).release(); };
    // One request per connection: a client that keeps its connection open must not hold a serving
    // thread between requests.
    server_->set_keep_alive_max_count(1);
    Register();
}

DemoSite::~DemoSite() {
    Stop();
}

void DemoSite::HoldResponse(const std::string& target) {
    std::unique_lock lock(mutex_);
    auto until = std::chrono::steady_clock::now() + latency_;
    changed_.wait_until(lock, until, [&] { return stopping_; });
    changed_.wait(lock, [&] { return !paused_ || stopping_ || (pausedWhich_ && !pausedWhich_(target)); });
}

void DemoSite::Register() {
    auto serve = [this](auto body) {
        return [this, body](const httplib::Request& req, httplib::Response& res) {
            InFlightScope scope(*this, req.target);
            HoldResponse(req.target);
            body(req, res);
        };
    };
    server_->Get(
        "/", serve([](const httplib::Request&, httplib::Response& res) { SendHtml(res, IndexPageHtml()); }));
    server_->Get("/cse/search", serve([this](const httplib::Request& req, httplib::Response& res) {
                     std::string keyword = req.get_param_value("q");
                     std::string page = req.has_param("p") ? req.get_param_value("p") : "1";
                     if (!misbehavingOn_.load())
                         SendHtml(res, SearchPageHtml(keyword, page, LinkBase()));
                     else if (page == "1")
                         SendHtml(res, misbehaving_->SearchPageHtml());
                     else
                         res.status = 500;
                 }));
    server_->Get(R"(/detail/(\d+)\.html)", serve([this](const httplib::Request& req, httplib::Response& res) {
                     std::optional<std::uint32_t> id = IdFromMatch(req.matches[1]);
                     std::optional<std::string> html = id ? DetailPageHtml(*id, LinkBase()) : std::nullopt;
                     if (html)
                         SendHtml(res, *html);
                     else
                         SendNotFound(res);
                 }));
    server_->Get(R"(/qr/(\d+)\.gif)", serve([](const httplib::Request& req, httplib::Response& res) {
                     std::optional<std::uint32_t> id = IdFromMatch(req.matches[1]);
                     std::optional<std::string> gif = id ? QrImageGif(*id) : std::nullopt;
                     if (gif)
                         res.set_content(*gif, "image/gif");
                     else
                         SendNotFound(res);
                 }));
    server_->Get("/static/logo.gif", serve([](const httplib::Request&, httplib::Response& res) {
                     res.set_content(*QrImageGif(1), "image/gif");
                 }));
    misbehaving_->Register(
        *server_, [this] { return BaseUrl(); },
        [serve](MisbehavingPages::Handler handler) -> MisbehavingPages::Handler {
            return serve(std::move(handler));
        });
    server_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.status == 404) SendNotFound(res);
    });
}

bool DemoSite::Start(int port) {
    if (listener_.joinable()) return true;
    if (!server_->is_valid()) return false;  // a certificate or key that could not be loaded
    if (port == 0)
        port = server_->bind_to_any_port("127.0.0.1");
    else if (!server_->bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0) return false;
    port_ = port;
    DeepenListenBacklog(port_);
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    // Stop only reaches a server that has entered its loop; the socket already accepts meanwhile.
    for (int i = 0; i < 2000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_->is_running();
}

void DemoSite::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    misbehaving_->Stop();
    if (listener_.joinable()) {
        server_->stop();
        listener_.join();
    }
}

std::string DemoSite::HostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}
std::string DemoSite::BaseUrl() const {
    return (secure_ ? "https://" : "http://") + HostPort();
}

void DemoSite::SetLinkBase(std::string base) {
    std::lock_guard lock(mutex_);
    linkBase_ = std::move(base);
}

std::string DemoSite::LinkBase() const {
    {
        std::lock_guard lock(mutex_);
        if (!linkBase_.empty()) return linkBase_;
    }
    return BaseUrl();
}

void DemoSite::SetMisbehaving(bool on) {
    misbehavingOn_.store(on);
}

void DemoSite::SetKeepAliveRequests(std::size_t requests) {
    server_->set_keep_alive_max_count(requests);
}

void DemoSite::SetLatency(std::chrono::milliseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = latency;
}

void DemoSite::PauseResponses(std::function<bool(const std::string& target)> which) {
    std::lock_guard lock(mutex_);
    paused_ = true;
    pausedWhich_ = std::move(which);
}

void DemoSite::ResumeResponses() {
    std::lock_guard lock(mutex_);
    paused_ = false;
    pausedWhich_ = nullptr;
    changed_.notify_all();
}

std::vector<RequestRecord> DemoSite::Requests() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<std::string> DemoSite::RequestTargets() const {
    return RequestTargetsStartingWith("");
}

std::vector<std::string> DemoSite::RequestTargetsStartingWith(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> targets;
    for (const RequestRecord& record : records_)
        if (record.target.compare(0, prefix.size(), prefix) == 0) targets.push_back(record.target);
    return targets;
}

int DemoSite::InFlight() const {
    std::lock_guard lock(mutex_);
    return inFlight_;
}

int DemoSite::MaxInFlight() const {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
}

void DemoSite::ResetRecords() {
    std::lock_guard lock(mutex_);
    records_.clear();
    maxInFlight_ = inFlight_;
}

bool DemoSite::WaitForInFlight(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return inFlight_ >= count; });
}

bool DemoSite::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
}

std::vector<DemoEntry> DemoSite::ExpectedEntries(std::string_view keyword, int page) const {
    return EntriesOnPage(keyword, page, LinkBase());
}

}  // namespace tollenby::demo
