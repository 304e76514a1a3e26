// Servers on 127.0.0.1 for the fetcher tests: a raw listener that records the exact request bytes and
// answers with canned bytes (or not at all), and a cpp-httplib server for ordinary routes.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/timing.h"
#include "web/fetch_control.h"

namespace tollenby::testing {

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
int UnusedPort();

class RawListener {
  public:
    // `reply` is written after each request; with holdOpen the connection then stays open and silent
    // until the listener is destroyed (an empty reply and holdOpen: a server that never answers).
    explicit RawListener(std::string reply, bool holdOpen = false);
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const;
    // The requests received so far, each as its exact bytes (header block and body).
    std::vector<std::string> Requests() const;

  private:
    void Serve();
    void Handle(int connection);

    std::string reply_;
    bool holdOpen_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

class HttpServer {
  public:
    HttpServer();  // plain HTTP; routes go on server() before Start()
    // HTTPS with the given certificate and key files.
    HttpServer(const std::string& certificateFile, const std::string& keyFile);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    httplib::Server& server() { return *server_; }
    void Start();
    int port() const { return port_; }
    std::string Url(const std::string& path) const;

  private:
    std::unique_ptr<httplib::Server> server_;
    std::string scheme_;
    int port_ = 0;
    std::thread thread_;
};

// A self-signed certificate for 127.0.0.1, made with the openssl command in a fresh temporary folder.
struct SelfSignedCertificate {
    SelfSignedCertificate();
    ~SelfSignedCertificate();
    bool ok = false;
    std::string folder, certificateFile, keyFile;
};

// A whole answer of two bytes, "ok", that closes the connection.
inline const std::string kOkReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

// Short limits for the tests that wait on purpose.
inline FetchControl QuickLimits(std::chrono::milliseconds stall = std::chrono::milliseconds(300)) {
    FetchControl control;
    control.limits =
        FetchLimits{std::chrono::milliseconds(2000), stall, std::chrono::milliseconds(10000), 1u << 20};
    return control;
}

}  // namespace tollenby::testing
