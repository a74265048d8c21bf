// A bare TCP server on 127.0.0.1 and an ephemeral port for answers no proper HTTP server gives:
// a body cut short, a missing length, a range ignored, silence. Each connection gets a thread;
// the handler sees the request head and writes whatever it likes; the connection is closed when
// the handler returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lirra::test {

class RawConnection {
  public:
    RawConnection(int fd, std::string head, const std::atomic<bool>& stopping, std::mutex& mutex,
                  std::condition_variable& stopped)
        : fd_(fd), head_(std::move(head)), stopping_(stopping), mutex_(mutex), stopped_(stopped) {}

    std::string method() const;  // the first word of the head
    // The value of a header of the head, compared case-insensitively; empty when absent.
    std::string header(std::string_view name) const;

    bool send(std::string_view bytes);
    // Keeps the connection open, sending nothing, until the server stops or `limit` passes.
    void holdOpen(std::chrono::milliseconds limit = std::chrono::seconds(30));

  private:
    int fd_;
    std::string head_;
    const std::atomic<bool>& stopping_;
    std::mutex& mutex_;
    std::condition_variable& stopped_;
};

class RawLoopbackServer {
  public:
    using Handler = std::function<void(RawConnection&)>;

    explicit RawLoopbackServer(Handler handler);
    ~RawLoopbackServer();  // stops

    RawLoopbackServer(const RawLoopbackServer&) = delete;
    RawLoopbackServer& operator=(const RawLoopbackServer&) = delete;

    bool start();
    void stop();  // closes every connection and waits for the handlers

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const;

    std::size_t requestCount() const;

  private:
    void acceptLoop();
    void serve(int fd);

    Handler handler_;
    int listener_ = -1;
    int port_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<std::thread> connections_;
    std::vector<int> openSockets_;
    std::size_t requests_ = 0;
};

}  // namespace lirra::test
