#include "tests/web/local_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace tollenby::testing {
namespace {

constexpr int kPollMs = 20;
constexpr auto kReadDeadline = std::chrono::seconds(5);

int BindLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket");
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("bind");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

bool Readable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

// Content-Length of a request header block, 0 when it has none.
std::size_t ContentLength(const std::string& head) {
    std::string lower;
    for (char c : head) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::stoul(head.substr(at + 17));
}

}  // namespace

int UnusedPort() {
    int port = 0;
    ::close(BindLoopback(port));
    return port;
}

RawListener::RawListener(std::string reply, bool holdOpen) : reply_(std::move(reply)), holdOpen_(holdOpen) {
    listenFd_ = BindLoopback(port_);
    ::listen(listenFd_, 16);
    thread_ = std::thread([this] { Serve(); });
}

RawListener::~RawListener() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

std::string RawListener::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawListener::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RawListener::Serve() {
    while (!stop_) {
        if (!Readable(listenFd_, kPollMs)) continue;
        int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        Handle(connection);
        ::close(connection);
    }
}

void RawListener::Handle(int connection) {
    std::string received;
    std::size_t needed = std::string::npos;
    auto deadline = std::chrono::steady_clock::now() + kReadDeadline;
    while (!stop_ && std::chrono::steady_clock::now() < deadline &&
           (needed == std::string::npos || received.size() < needed)) {
        if (!Readable(connection, kPollMs)) continue;
        char buffer[4096];
        ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        received.append(buffer, static_cast<std::size_t>(got));
        std::size_t headEnd = received.find("\r\n\r\n");
        if (needed == std::string::npos && headEnd != std::string::npos) {
            needed = headEnd + 4 + ContentLength(received.substr(0, headEnd + 2));
        }
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(received);
    }
    if (!reply_.empty()) ::send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    while (holdOpen_ && !stop_) {
        // Swallow whatever arrives, answer nothing, until the test ends.
        if (Readable(connection, kPollMs)) {
            char buffer[512];
            if (::recv(connection, buffer, sizeof buffer, 0) <= 0) break;
        }
    }
}

HttpServer::HttpServer() : server_(std::make_unique<httplib::Server>()), scheme_("http") {}

HttpServer::HttpServer(const std::string& certificateFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str())),
      scheme_("https") {}

HttpServer::~HttpServer() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

void HttpServer::Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("httplib bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 500 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string HttpServer::Url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

SelfSignedCertificate::SelfSignedCertificate() {
    char pattern[] = "/tmp/tollenby-tls-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder = pattern;
    certificateFile = folder + "/cert.pem";
    keyFile = folder + "/key.pem";
    std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1"
        " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
        keyFile + " -out " + certificateFile + " >/dev/null 2>&1";
    ok = std::system(command.c_str()) == 0;
}

SelfSignedCertificate::~SelfSignedCertificate() {
    if (folder.empty()) return;
    ::unlink(certificateFile.c_str());
    ::unlink(keyFile.c_str());
    ::rmdir(folder.c_str());
}

}  // namespace tollenby::testing
