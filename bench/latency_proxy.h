// A TCP proxy on 127.0.0.1 that makes loopback cost what the internet costs: every chunk it carries is
// held back half a round trip in its direction, and a new connection's first chunk one round trip more
// (the TCP handshake a real connection pays before its first byte can leave). TLS passes through
// untouched, so its handshake pays its own round trips.
#pragma once

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace tollenby::bench {

class LatencyProxy {
  public:
    LatencyProxy(int upstreamPort, std::chrono::milliseconds roundTrip);
    ~LatencyProxy();  // closes every connection and joins every thread
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    bool Start();  // listens on a free port; false when it cannot
    int Port() const { return port_; }
    int ConnectionsOpened() const { return opened_.load(); }

  private:
    class Connection;
    void AcceptLoop();
    void ReapFinished();

    const int upstreamPort_;
    const std::chrono::milliseconds roundTrip_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> opened_{0};
    std::thread acceptor_;
    std::mutex lock_;
    std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace tollenby::bench
