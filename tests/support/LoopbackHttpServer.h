// A real HTTP server for tests: cpp-httplib on 127.0.0.1 and an ephemeral port, served from a
// thread of its own, recording every request it answers. Register routes before start();
// handlers run on the server's threads. cpp-httplib answers "Range" itself and compresses text
// answers for clients that accept it (a binary content type avoids it). One request per
// connection unless the test says otherwise.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lirra::test {

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::string path;    // decoded path
    // Header names spelled exactly as received (sorted case-insensitively, not in sent order).
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name, compared case-insensitively.
    std::optional<std::string> header(const std::string& name) const;
    // How many headers have that name, compared case-insensitively.
    std::size_t headerCount(const std::string& name) const;
};

class LoopbackHttpServer {
  public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();  // stops

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    httplib::Server& server() { return server_; }

    // Binds and starts serving; false when the port could not be bound.
    bool start();
    void stop();

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string url(const std::string& path = "/") const;

    std::vector<RecordedRequest> requests() const;  // in the order they were answered
    std::size_t requestCount() const;
    void clearRequests();

  private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
};

}  // namespace lirra::test
