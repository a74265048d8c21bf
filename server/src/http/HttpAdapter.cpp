// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpAdapter.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <regex>
#include <thread>
#include <unordered_map>

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

using Clock = std::chrono::steady_clock;

// What one client may hold: its request line and headers fit in this memory (more are refused
// by the library with 431), the head must arrive within the first time, a body at the floor
// rate after it, an answer be taken at the same rate.
constexpr std::size_t kConnectionMemory = 64 * 1024;
constexpr auto kHeadTime = std::chrono::seconds(10);
constexpr std::size_t kBytesPerSecondFloor = 64 * 1024;
constexpr unsigned kMaxConnections = 512;
constexpr unsigned kConnectionsPerAddress = 128;
constexpr unsigned kIdleSeconds = 10;
constexpr std::size_t kMaxTargetBytes = 8192;

Clock::time_point atFloorRate(Clock::time_point from, std::size_t bytes) {
    return from + kHeadTime + std::chrono::milliseconds(bytes * 1000 / kBytesPerSecondFloor);
}

struct CompiledRoute {
    Route route;
    std::regex pattern;
};

// Runs the handlers off the library's event loop, so a slow handler holds no other client.
class WorkerPool {
  public:
    explicit WorkerPool(unsigned count) {
        for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { work(); });
    }
    ~WorkerPool() { close(); }

    bool post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        tasks_.push_back(std::move(task));
        ready_.notify_one();
        return true;
    }
    // Runs what is queued, then ends the threads.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
        for (auto& t : threads_) {
            if (t.joinable()) t.join();
        }
    }

  private:
    void work() {
        for (;;) {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return closed_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    bool closed_ = false;
};

// Each connection's deadline for what it owes now (its head, its body, taking the answer); the
// library only times out idleness, so a client that trickles is cut off here.
class Deadlines {
  public:
    void add(MHD_Connection* c, int fd) {
        std::lock_guard lock(mutex_);
        entries_[c] = {fd, Clock::now() + kHeadTime};
    }
    // Called by the library before it closes the socket: the descriptor is still ours until then.
    void remove(MHD_Connection* c) {
        std::lock_guard lock(mutex_);
        entries_.erase(c);
    }
    void set(MHD_Connection* c, Clock::time_point deadline) {
        std::lock_guard lock(mutex_);
        if (auto it = entries_.find(c); it != entries_.end()) it->second.deadline = deadline;
    }
    void sweep() {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        for (auto& [c, entry] : entries_) {
            if (entry.deadline >= now) continue;
            // The library sees the end of the stream and closes the connection itself.
            ::shutdown(entry.fd, SHUT_RDWR);
            entry.deadline = Clock::time_point::max();
        }
    }

  private:
    struct Entry {
        int fd;
        Clock::time_point deadline;
    };
    std::mutex mutex_;
    std::unordered_map<MHD_Connection*, Entry> entries_;
};

// One request, from its request line to its answer sent.
struct Exchange {
    std::string target;  // as on the request line
    bool started = false;
    const CompiledRoute* route = nullptr;
    bool keepBody = false;
    bool tooLarge = false;
    bool dispatched = false;
    std::optional<HttpResponse> early;  // an answer decided from the head alone
    HttpRequest request;
    std::size_t received = 0;
    Clock::time_point headEnd;
    MHD_Response* ready = nullptr;  // the handler's answer, set before the connection resumes
    int readyStatus = 0;
    std::size_t readySize = 0;
};

MHD_Response* toLibrary(const HttpResponse& response) {
    auto* body = new std::string(response.body);
    MHD_Response* r = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void* p) { delete static_cast<std::string*>(p); }, body);
    for (const auto& [name, value] : response.headers) {
        // No other origin may read an answer, whatever a handler sets.
        if (asciiLower(name).rfind("access-control-", 0) == 0) continue;
        MHD_add_response_header(r, name.c_str(), value.c_str());
    }
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    if (!response.body.empty() || response.status != 302) {
        MHD_add_response_header(r, "Content-Type", response.contentType.c_str());
    }
    return r;
}

std::string peerAddress(MHD_Connection* c) {
    const auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* a = info->client_addr;
    if (a->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
    } else if (a->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text,
                  sizeof text);
    }
    return text;
}

}  // namespace

struct HttpServer::Impl {
    std::vector<CompiledRoute> routes;
    std::optional<RequestGuard> guard;
    HttpServer::Layer layer;
    ClientAddress clientAddress;
    unsigned threadCount = 1;
    int listenFd = -1;
    MHD_Daemon* daemon = nullptr;
    std::unique_ptr<WorkerPool> pool;
    Deadlines deadlines;

    std::mutex mutex;
    std::condition_variable changed;
    bool running = false;
    bool stopping = false;
    unsigned inFlight = 0;  // answers handed to the pool and not yet sent

    const CompiledRoute* find(const std::string& method, const std::string& path) const {
        for (const auto& r : routes) {
            if ((r.route.method == method || (method == "HEAD" && r.route.method == "GET")) &&
                std::regex_match(path, r.pattern)) {
                return &r;
            }
        }
        return nullptr;
    }

    // What the head alone tells: the guard's refusal, the route and whether its body is kept.
    void begin(MHD_Connection* c, const char* url, const char* method, Exchange& ex) {
        HttpRequest& request = ex.request;
        request.method = method;
        request.path = url;
        RequestHead head{request.method, ex.target, {}, {}, {}};
        struct Reading {
            HttpRequest* request;
            RequestHead* head;
        } reading{&request, &head};
        MHD_get_connection_values(
            c, MHD_HEADER_KIND,
            [](void* cls, MHD_ValueKind, const char* key, const char* value) {
                auto* r = static_cast<Reading*>(cls);
                const std::string name = asciiLower(key);
                const std::string text = value ? value : "";
                if (name == "host") r->head->hosts.push_back(text);
                if (name == "origin") r->head->origins.push_back(text);
                r->head->headers.emplace_back(name, text);
                r->request->headers.emplace(name, text);
                return MHD_YES;
            },
            &reading);
        MHD_get_connection_values(
            c, MHD_GET_ARGUMENT_KIND,
            [](void* cls, MHD_ValueKind, const char* key, const char* value) {
                static_cast<HttpRequest*>(cls)->query.emplace(key, value ? value : "");
                return MHD_YES;
            },
            &request);
        std::vector<std::string> forwardedFor;
        for (const auto& [name, value] : head.headers) {
            if (name == "x-forwarded-for") forwardedFor.push_back(value);
        }
        request.remoteAddress = clientAddress.resolve(peerAddress(c), forwardedFor);
        if (guard) {
            if (auto refusal = guard->check(head)) {
                // Who was turned away, for the administrator's tools (fail2ban and the like).
                std::fprintf(stderr, "lirra-server: refused a request from %s (%d)\n",
                             request.remoteAddress.c_str(), refusal->status);
                ex.early = std::move(*refusal);
                return;
            }
        }
        if (ex.target.size() > kMaxTargetBytes) {
            ex.early = HttpResponse::error(414, "the request was refused");
            return;
        }
        const std::string encoding = asciiLower(request.header("content-encoding"));
        if (!encoding.empty() && encoding != "identity") {
            // Compressed bodies would be inflated past the size limits.
            ex.early = HttpResponse::error(415, "compressed request bodies are not accepted");
            return;
        }
        ex.route = find(request.method, request.path);
        if (!ex.route) {
            ex.early = HttpResponse::error(404, "no such resource");
            return;
        }
        ex.keepBody = ex.route->route.method == "POST" || ex.route->route.method == "PUT";
    }

    // Past the limit the rest is read and dropped, so memory stays bounded and the client still
    // reads its answer on a connection it has finished writing to.
    void take(MHD_Connection* c, Exchange& ex, const char* data, std::size_t size) {
        ex.received += size;
        deadlines.set(c, atFloorRate(ex.headEnd, ex.received));
        if (!ex.keepBody || ex.tooLarge) return;
        if (ex.request.body.size() + size > ex.route->route.maxBodyBytes) {
            ex.tooLarge = true;
            std::string().swap(ex.request.body);
            return;
        }
        ex.request.body.append(data, size);
    }

    HttpResponse handle(Exchange& ex) const {
        HttpRequest request = std::move(ex.request);
        std::smatch match;
        if (std::regex_match(request.path, match, ex.route->pattern)) {
            for (std::size_t i = 1; i < match.size(); ++i) request.pathParams.push_back(match[i]);
        }
        try {
            return layer ? layer(request, ex.route->route.handler)
                         : ex.route->route.handler(request);
        } catch (const std::exception& e) {
            // Handlers don't throw; this only keeps a bug (or exhausted memory) from ending the
            // process.
            std::fprintf(stderr, "lirra-server: %s %s failed: %s\n", request.method.c_str(),
                         request.path.c_str(), e.what());
            return HttpResponse::error(500, "internal error");
        }
    }

    MHD_Result answer(MHD_Connection* c, int status, MHD_Response* r, std::size_t size) {
        deadlines.set(c, atFloorRate(Clock::now(), size));
        const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(status), r);
        MHD_destroy_response(r);
        return queued;
    }

    MHD_Result answer(MHD_Connection* c, const HttpResponse& response) {
        return answer(c, response.status, toLibrary(response), response.body.size());
    }

    void dispatch(MHD_Connection* c, Exchange& ex) {
        {
            std::lock_guard lock(mutex);
            ++inFlight;
        }
        ex.dispatched = true;
        deadlines.set(c, Clock::time_point::max());
        MHD_suspend_connection(c);
        const auto finish = [&ex, c](const HttpResponse& response) {
            ex.readyStatus = response.status;
            ex.readySize = response.body.size();
            ex.ready = toLibrary(response);
            MHD_resume_connection(c);
        };
        if (!pool->post([this, &ex, finish] { finish(handle(ex)); })) {
            finish(HttpResponse::error(503, "the service is stopping"));
        }
    }

    MHD_Result access(MHD_Connection* c, const char* url, const char* method,
                      const char* uploadData, std::size_t* uploadSize, void** context) {
        auto* ex = static_cast<Exchange*>(*context);
        if (!ex) return MHD_NO;
        if (!ex->started) {
            ex->started = true;
            ex->headEnd = Clock::now();
            deadlines.set(c, atFloorRate(ex->headEnd, 0));
            begin(c, url, method, *ex);
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            take(c, *ex, uploadData, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        if (ex->ready) {
            MHD_Response* r = std::exchange(ex->ready, nullptr);
            return answer(c, ex->readyStatus, r, ex->readySize);
        }
        if (ex->early) return answer(c, *ex->early);
        if (ex->tooLarge)
            return answer(c, HttpResponse::error(413, "the request body is too large"));
        dispatch(c, *ex);
        return MHD_YES;
    }

    void completed(MHD_Connection* c, void** context) {
        auto* ex = static_cast<Exchange*>(*context);
        *context = nullptr;
        // The next request on this connection owes its head from now.
        deadlines.set(c, Clock::now() + kHeadTime);
        if (!ex) return;
        if (ex->ready) MHD_destroy_response(ex->ready);
        if (ex->dispatched) {
            std::lock_guard lock(mutex);
            --inFlight;
            changed.notify_all();
        }
        delete ex;
    }

    void connection(MHD_Connection* c, MHD_ConnectionNotificationCode code) {
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            deadlines.remove(c);
            return;
        }
        const auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info) deadlines.add(c, info->connect_fd);
    }
};

HttpServer::HttpServer(std::vector<Route> routes, unsigned threadCount) : impl_(new Impl) {
    for (auto& route : routes) impl_->routes.push_back({route, std::regex(route.pattern)});
    impl_->threadCount = std::max(1u, threadCount);
}

HttpServer::~HttpServer() {
    stop();
    if (impl_->listenFd >= 0 && !impl_->daemon) ::close(impl_->listenFd);
}

std::string HttpServer::bind(const std::string& host, std::uint16_t port,
                             std::uint16_t& boundPort) {
    const std::string where = port == 0 ? host : host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return "cannot listen on " + where;
    }
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        // SO_REUSEADDR allows a restart over TIME_WAIT; SO_REUSEPORT would let a second service
        // share the port and its requests.
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) return "cannot listen on " + where;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort =
        ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    if (impl_->listenFd >= 0) ::close(impl_->listenFd);
    impl_->listenFd = fd;
    return {};
}

void HttpServer::setGuard(RequestGuard guard) { impl_->guard = std::move(guard); }

void HttpServer::setLayer(Layer layer) { impl_->layer = std::move(layer); }

void HttpServer::setClientAddress(ClientAddress clientAddress) {
    impl_->clientAddress = std::move(clientAddress);
}

void HttpServer::run() {
    Impl* impl = impl_.get();
    impl->pool = std::make_unique<WorkerPool>(impl->threadCount);
    const MHD_AccessHandlerCallback access = [](void* cls, MHD_Connection* c, const char* url,
                                                const char* method, const char*, const char* data,
                                                std::size_t* size, void** context) {
        return static_cast<Impl*>(cls)->access(c, url, method, data, size, context);
    };
    const MHD_RequestCompletedCallback completed = [](void* cls, MHD_Connection* c, void** context,
                                                      MHD_RequestTerminationCode) {
        static_cast<Impl*>(cls)->completed(c, context);
    };
    const MHD_NotifyConnectionCallback notify = [](void* cls, MHD_Connection* c, void**,
                                                   MHD_ConnectionNotificationCode code) {
        static_cast<Impl*>(cls)->connection(c, code);
    };
    using UriLog = void* (*)(void*, const char*, MHD_Connection*);
    const UriLog uriLog = [](void*, const char* uri, MHD_Connection*) -> void* {
        auto* ex = new Exchange;
        ex->target = uri;
        return ex;
    };
    impl->daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr,
        nullptr, access, impl, MHD_OPTION_LISTEN_SOCKET, impl->listenFd,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_CONNECTION_LIMIT,
        kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, kConnectionsPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_NOTIFY_COMPLETED, completed, impl,
        MHD_OPTION_NOTIFY_CONNECTION, notify, impl, MHD_OPTION_URI_LOG_CALLBACK, uriLog, impl,
        MHD_OPTION_END);
    if (!impl->daemon) {
        impl->pool->close();
        return;
    }
    std::unique_lock lock(impl->mutex);
    impl->running = true;
    impl->changed.notify_all();
    while (!impl->stopping) {
        impl->changed.wait_for(lock, std::chrono::milliseconds(250));
        impl->deadlines.sweep();
    }
    lock.unlock();
    // The handlers under way finish and their answers go out before the connections close.
    impl->pool->close();
    lock.lock();
    impl->changed.wait_for(lock, std::chrono::seconds(2), [impl] { return impl->inFlight == 0; });
    impl->running = false;
    lock.unlock();
    MHD_stop_daemon(impl->daemon);
    impl->daemon = nullptr;
    impl->listenFd = -1;
}

bool HttpServer::waitUntilRunning(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [this] { return impl_->running; });
}

void HttpServer::stop() {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
    impl_->changed.notify_all();
}

}  // namespace lirra::server
