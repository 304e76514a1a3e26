// The demo directory site as a server on 127.0.0.1: search pages, detail pages and QR images from
// demo_content.h. Tests start one in-process on a free port; tollenby-demo-site wraps it for the demo.
//
// The site keeps a log of every request with the number of requests in flight when it arrived, so
// tests can check which addresses were asked for and how many were served at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "demo/demo_content.h"
#include "demo/misbehaving_pages.h"

namespace httplib {
class Server;
}

namespace tollenby::demo {

struct RequestRecord {
    std::string target;     // path and query, exactly as requested
    int inFlightAtArrival;  // requests being served at that moment, this one included
    std::chrono::steady_clock::time_point arrival;
};

class DemoSite {
  public:
    DemoSite();
    // The same site over HTTPS, with this certificate chain and key (PEM files).
    DemoSite(const std::string& certificateFile, const std::string& keyFile);
    ~DemoSite();  // stops the server
    DemoSite(const DemoSite&) = delete;
    DemoSite& operator=(const DemoSite&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port) and serves on threads of its own.
    // False when the port cannot be bound.
    bool Start(int port = 0);
    void Stop();

    int Port() const { return port_; }
    std::string HostPort() const;  // "127.0.0.1:port", the form TOLLENBY_SEARCH_HOST takes
    std::string BaseUrl() const;   // "http://127.0.0.1:port", "https://..." for a secure site

    // The address the site's links start with instead of BaseUrl(), for a site reached through a proxy.
    void SetLinkBase(std::string base);

    // The misbehaving mode (demo/misbehaving_pages.h): search pages list hits whose detail pages fail.
    void SetMisbehaving(bool on);

    // Added to every response before it is sent.
    void SetLatency(std::chrono::milliseconds latency);
    // Lets a client keep its connection open for up to `requests` requests; by default every
    // connection serves one. Call before Start.
    void SetKeepAliveRequests(std::size_t requests);

    // While paused, requests whose target `which` picks (every request by default) are taken in but not
    // answered until ResumeResponses (or Stop).
    void PauseResponses(std::function<bool(const std::string& target)> which = {});
    void ResumeResponses();

    std::vector<RequestRecord> Requests() const;
    std::vector<std::string> RequestTargets() const;
    std::vector<std::string> RequestTargetsStartingWith(const std::string& prefix) const;
    int InFlight() const;
    int MaxInFlight() const;
    void ResetRecords();  // forgets the log and the maximum
    // Waits until at least `count` requests are in flight; false on time-out.
    bool WaitForInFlight(int count, std::chrono::milliseconds timeout) const;
    // Waits until `count` requests have arrived in all; false on time-out.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // What the site holds, with links in this server's own address.
    std::vector<DemoEntry> ExpectedEntries(std::string_view keyword, int page) const;

  private:
    class InFlightScope;
    explicit DemoSite(std::unique_ptr<httplib::Server> server);
    void Register();
    std::string LinkBase() const;
    void HoldResponse(const std::string& target);

    std::unique_ptr<MisbehavingPages> misbehaving_;
    std::atomic<bool> misbehavingOn_{false};
    std::unique_ptr<httplib::Server> server_;
    std::thread listener_;
    int port_ = 0;
    bool secure_ = false;
    std::string linkBase_;  // guarded by mutex_

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<RequestRecord> records_;
    int inFlight_ = 0;
    int maxInFlight_ = 0;
    std::chrono::milliseconds latency_{0};
    bool paused_ = false;
    std::function<bool(const std::string&)> pausedWhich_;
    bool stopping_ = false;
};

}  // namespace tollenby::demo
