// A small HTTP proxy of the tests' own on 127.0.0.1: forward requests (absolute-form request lines,
// sent on with "Connection: close") and CONNECT tunnels, to loopback destinations only. It logs every
// request line it relays, so a test can check that a program's requests all went through it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tollenby::testing {

class LoopbackProxy {
  public:
    LoopbackProxy();
    ~LoopbackProxy();  // stops accepting, ends every relay and joins its threads
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    bool Start();  // listens on a free port
    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Every request line relayed ("GET http://127.0.0.1:1234/x HTTP/1.1", "CONNECT ..."), in order.
    std::vector<std::string> RequestLines() const;

  private:
    void AcceptLoop();
    void Serve(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex lock_;
    std::vector<std::thread> connections_;
    std::vector<std::string> requestLines_;
};

}  // namespace tollenby::testing
