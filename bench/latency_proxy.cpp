#include "bench/latency_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <string>

namespace tollenby::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 50;
constexpr std::size_t kChunkBytes = 64 * 1024;

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

// One client connection and its upstream twin. Each direction has a reader that stamps every chunk with
// the time it may leave, and a writer that sends it then, so a late chunk never delays the next one.
class LatencyProxy::Connection {
  public:
    Connection(int client, int upstream, std::chrono::milliseconds roundTrip, Clock::time_point opened)
        : client_(client), upstream_(upstream) {
        const auto half = roundTrip / 2;
        up_.firstDue = opened + roundTrip;  // the handshake, before the first byte may leave
        up_.delay = half;
        down_.delay = half;
        threads_[0] = std::thread([this] { Read(client_, up_); });
        threads_[1] = std::thread([this] { Write(upstream_, up_); });
        threads_[2] = std::thread([this] { Read(upstream_, down_); });
        threads_[3] = std::thread([this] { Write(client_, down_); });
    }
    ~Connection() {
        Close();
        for (std::thread& t : threads_) t.join();
        ::close(client_);
        ::close(upstream_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Close() {
        ::shutdown(client_, SHUT_RDWR);
        ::shutdown(upstream_, SHUT_RDWR);
        for (Direction* d : {&up_, &down_}) {
            std::lock_guard lock(d->lock);
            d->closed = true;
            d->wake.notify_all();
        }
    }
    bool Finished() const { return finishedDirections_.load() == 2; }

  private:
    struct Chunk {
        Clock::time_point due;
        std::string bytes;  // empty: the sender closed its side
    };
    struct Direction {
        std::mutex lock;
        std::condition_variable wake;
        std::deque<Chunk> queue;
        bool closed = false;
        bool first = true;
        Clock::time_point firstDue{};
        std::chrono::milliseconds delay{};
    };

    void Read(int from, Direction& d) {
        std::string buffer(kChunkBytes, '\0');
        for (;;) {
            ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
            Chunk chunk{Clock::now() + d.delay, n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : ""};
            std::lock_guard lock(d.lock);
            if (d.first) {
                chunk.due = std::max(chunk.due, d.firstDue + d.delay);
                d.first = false;
            }
            d.queue.push_back(std::move(chunk));
            d.wake.notify_all();
            if (n <= 0) return;
        }
    }

    void Write(int to, Direction& d) {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock lock(d.lock);
                d.wake.wait(lock, [&] { return d.closed || !d.queue.empty(); });
                if (d.queue.empty()) break;
                const Clock::time_point due = d.queue.front().due;
                if (d.wake.wait_until(lock, due, [&] { return d.closed; })) break;
                chunk = std::move(d.queue.front());
                d.queue.pop_front();
            }
            if (chunk.bytes.empty() || !WriteAll(to, chunk.bytes)) break;
        }
        ::shutdown(to, SHUT_WR);
        ++finishedDirections_;
    }

    const int client_;
    const int upstream_;
    Direction up_;    // client to server
    Direction down_;  // server to client
    std::atomic<int> finishedDirections_{0};
    std::thread threads_[4];
};

LatencyProxy::LatencyProxy(int upstreamPort, std::chrono::milliseconds roundTrip)
    : upstreamPort_(upstreamPort), roundTrip_(roundTrip) {}

LatencyProxy::~LatencyProxy() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard lock(lock_);
    for (auto& c : connections_) c->Close();
    connections_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool LatencyProxy::Start() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, SOMAXCONN) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] {
        try {
            AcceptLoop();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "latency proxy: %s\n", e.what());
        }
    });
    return true;
}

void LatencyProxy::AcceptLoop() {
    while (!stopping_) {
        pollfd entry{listenFd_, POLLIN, 0};
        if (::poll(&entry, 1, kPollMs) <= 0) {
            ReapFinished();
            continue;
        }
        int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        const Clock::time_point opened = Clock::now();
        int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        int upstream = ConnectLoopback(upstreamPort_);
        if (upstream < 0) {
            ::close(client);
            continue;
        }
        ++opened_;
        std::lock_guard lock(lock_);
        connections_.push_back(std::make_unique<Connection>(client, upstream, roundTrip_, opened));
    }
}

void LatencyProxy::ReapFinished() {
    std::lock_guard lock(lock_);
    connections_.remove_if([](const std::unique_ptr<Connection>& c) { return c->Finished(); });
}

}  // namespace tollenby::bench
