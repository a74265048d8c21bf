#include "support/RawLoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace lirra::test {

namespace {

constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// Reads up to the end of the request head; the body, if any, is left unread.
std::string readHead(int fd, const std::atomic<bool>& stopping) {
    std::string head;
    char c;
    while (!stopping && head.size() < kMaxHeadBytes && !head.ends_with("\r\n\r\n")) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        if (::recv(fd, &c, 1, 0) != 1) break;
        head.push_back(c);
    }
    return head;
}

}  // namespace

std::string RawConnection::method() const { return head_.substr(0, head_.find(' ')); }

std::string RawConnection::header(std::string_view name) const {
    std::size_t lineStart = head_.find("\r\n");
    while (lineStart != std::string::npos) {
        lineStart += 2;
        const std::size_t lineEnd = head_.find("\r\n", lineStart);
        if (lineEnd == std::string::npos) break;
        const std::string line = head_.substr(lineStart, lineEnd - lineStart);
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.data(), colon) == 0) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        lineStart = lineEnd;
    }
    return {};
}

bool RawConnection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void RawConnection::holdOpen(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    stopped_.wait_for(lock, limit, [&] { return stopping_.load(); });
}

RawLoopbackServer::RawLoopbackServer(Handler handler) : handler_(std::move(handler)) {}

RawLoopbackServer::~RawLoopbackServer() { stop(); }

bool RawLoopbackServer::start() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        listener_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void RawLoopbackServer::acceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        openSockets_.push_back(fd);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void RawLoopbackServer::serve(int fd) {
    std::string head = readHead(fd, stopping_);
    if (!head.empty()) {
        {
            std::lock_guard lock(mutex_);
            ++requests_;
        }
        RawConnection connection(fd, std::move(head), stopping_, mutex_, stopped_);
        handler_(connection);
    }
    std::lock_guard lock(mutex_);
    openSockets_.erase(std::find(openSockets_.begin(), openSockets_.end(), fd));
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

void RawLoopbackServer::stop() {
    if (!acceptor_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : openSockets_) ::shutdown(fd, SHUT_RDWR);
    }
    stopped_.notify_all();
    acceptor_.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& connection : connections) connection.join();
    ::close(listener_);
    listener_ = -1;
}

std::string RawLoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::size_t RawLoopbackServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace lirra::test
