// SPDX-License-Identifier: GPL-3.0-or-later
// Requests as raw bytes over loopback sockets, for what no client library would send.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace lirra::server::test {

inline int connectLoopback(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    close(fd);
    return -1;
}

inline bool sendAll(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

// What arrives on `fd` until the peer closes or `wait` passes without a byte; with `firstLine`,
// only the first line (a status line).
inline std::string receive(int fd, std::chrono::milliseconds wait, bool firstLine = false) {
    const timeval timeout{long(wait.count() / 1000), long(wait.count() % 1000 * 1000)};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string bytes;
    char buffer[8192];
    for (ssize_t n; !(firstLine && bytes.find("\r\n") != std::string::npos) &&
                    (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        bytes.append(buffer, n);
    }
    return firstLine ? bytes.substr(0, bytes.find("\r\n")) : bytes;
}

}  // namespace lirra::server::test
