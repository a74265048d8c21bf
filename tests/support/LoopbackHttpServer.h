// SPDX-License-Identifier: GPL-3.0-or-later
// A real HTTP(S) server for tests on 127.0.0.1 and an ephemeral port, on its own thread, recording
// each request it answers; peers' fakes are routes on it, added before start(). cpp-httplib
// answers "Range" and compresses text answers (a binary type avoids it). One request per
// connection unless told otherwise. Answers no proper server gives: a body cut short, silence.
#pragma once

#include <httplib.h>
#include <strings.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
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
    std::optional<std::string> header(const std::string& name) const {
        for (const auto& [key, value] : headers)
            if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
        return std::nullopt;
    }
    // The query as sent ("a=1&b=2"), empty without one.
    std::string query() const {
        const auto mark = target.find('?');
        return mark == std::string::npos ? std::string() : target.substr(mark + 1);
    }
};

// A certificate and its key (PEM files): the server speaks HTTPS.
struct TlsFiles {
    std::string certificate, key;
};

class LoopbackHttpServer {
  public:
    explicit LoopbackHttpServer(const TlsFiles& tls = {});
    ~LoopbackHttpServer();  // stops

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    httplib::Server& server() { return *server_; }

    // Binds and starts serving; false when the port could not be bound.
    bool start();
    void stop();

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" (https with a certificate) followed by `path`.
    std::string url(const std::string& path = "/") const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
               path;
    }

    // Answers requests for `path` before the routes do, while it returns true (false: the routes
    // answer after all); an empty handler removes it. Uses the pre-routing handler.
    using Intercept = std::function<bool(const httplib::Request&, httplib::Response&)>;
    void intercept(const std::string& path, Intercept handler);

    // GET `path`: 200 announcing `length` bytes, then only `sent` before the connection closes.
    void serveCutShort(const std::string& path, std::size_t length, std::string sent);
    // GET `path`: no answer at all until the server stops; `silenced` counts those held.
    void serveSilence(const std::string& path);
    std::atomic<int> silenced{0};

    std::vector<RecordedRequest> requests() const {  // in the order they were answered
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<RecordedRequest> requests(const std::string& path) const;
    std::size_t requestCount() const { return requests().size(); }
    void clearRequests() {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }

    // Set when stop() begins (a test may set it sooner): handlers that hold a connection on
    // purpose let go of it once it is.
    std::atomic<bool> stopping{false};

  private:
    std::unique_ptr<httplib::Server> server_;
    bool tls_ = false;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::map<std::string, Intercept> intercepts_;
};

}  // namespace lirra::test
