#include "tests/cli/loopback_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace tollenby::testing {
namespace {

constexpr int kPollMs = 100;
constexpr auto kConnectionLimit = std::chrono::seconds(60);  // no relay outlives this

struct Socket {
    explicit Socket(int fd = -1) : fd(fd) {}
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd;
};

bool SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// "127.0.0.1:1234" or "localhost:1234" -> 1234; 0 for anything not on loopback.
int LoopbackPort(const std::string& hostPort) {
    std::size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos) return 0;
    std::string host = hostPort.substr(0, colon);
    if (host != "127.0.0.1" && host != "localhost") return 0;
    return std::atoi(hostPort.c_str() + colon + 1);
}

}  // namespace

LoopbackProxy::LoopbackProxy() = default;

LoopbackProxy::~LoopbackProxy() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    if (listener_ >= 0) ::close(listener_);
    std::vector<std::thread> connections;
    {
        std::lock_guard guard(lock_);
        connections.swap(connections_);
    }
    for (std::thread& t : connections) t.join();
}

bool LoopbackProxy::Start() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    if (::listen(listener_, 64) != 0) return false;
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
    return true;
}

std::vector<std::string> LoopbackProxy::RequestLines() const {
    std::lock_guard guard(lock_);
    return requestLines_;
}

void LoopbackProxy::AcceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard guard(lock_);
        connections_.emplace_back([this, client] { Serve(client); });
    }
}

void LoopbackProxy::Serve(int clientFd) {
    Socket client(clientFd);
    const auto deadline = std::chrono::steady_clock::now() + kConnectionLimit;
    auto alive = [&] { return !stopping_ && std::chrono::steady_clock::now() < deadline; };

    // The request head, up to the blank line.
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos && alive()) {
        pollfd p{client.fd, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t headEnd = head.find("\r\n\r\n");
    if (headEnd == std::string::npos) return;
    std::string rest = head.substr(headEnd + 4);
    head.resize(headEnd + 2);
    const std::string requestLine = head.substr(0, head.find("\r\n"));
    {
        std::lock_guard guard(lock_);
        requestLines_.push_back(requestLine);
    }
    const std::size_t space1 = requestLine.find(' ');
    const std::size_t space2 = requestLine.find(' ', space1 + 1);
    const std::string method = requestLine.substr(0, space1);
    const std::string target = requestLine.substr(space1 + 1, space2 - space1 - 1);

    Socket upstream;
    if (method == "CONNECT") {
        upstream.fd = LoopbackPort(target) ? ConnectLoopback(LoopbackPort(target)) : -1;
        if (upstream.fd < 0) {
            SendAll(client.fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        SendAll(client.fd, "HTTP/1.1 200 Connection established\r\n\r\n");
    } else {
        // "http://host:port/path" -> connect to host:port, send "METHOD /path HTTP/1.1".
        const std::string scheme = "http://";
        if (target.compare(0, scheme.size(), scheme) != 0) return;
        const std::size_t pathStart = target.find('/', scheme.size());
        const std::string hostPort = target.substr(scheme.size(), pathStart - scheme.size());
        const std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
        upstream.fd = LoopbackPort(hostPort) ? ConnectLoopback(LoopbackPort(hostPort)) : -1;
        if (upstream.fd < 0) {
            SendAll(client.fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        // One request per connection: the headers go on without their connection handling.
        std::string forwarded = method + " " + path + requestLine.substr(space2) + "\r\n";
        std::size_t pos = head.find("\r\n") + 2;
        while (pos < head.size()) {
            std::size_t end = head.find("\r\n", pos);
            std::string line = head.substr(pos, end - pos);
            pos = end + 2;
            std::string lower = line;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (lower.rfind("connection:", 0) == 0 || lower.rfind("proxy-connection:", 0) == 0) continue;
            forwarded += line + "\r\n";
        }
        forwarded += "Connection: close\r\n\r\n";
        if (!SendAll(upstream.fd, forwarded)) return;
    }
    if (!rest.empty() && !SendAll(upstream.fd, rest)) return;

    // Relay both ways until one side closes.
    while (alive()) {
        pollfd p[2] = {{client.fd, POLLIN, 0}, {upstream.fd, POLLIN, 0}};
        if (::poll(p, 2, kPollMs) <= 0) continue;
        for (int side = 0; side < 2; ++side) {
            if (!(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::recv(p[side].fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            if (!SendAll(p[1 - side].fd, std::string(buffer, static_cast<std::size_t>(n)))) return;
        }
    }
}

}  // namespace tollenby::testing
