#include "http/HttpAdapter.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <regex>
#include <thread>

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

// httplib parses multipart bodies itself and answers 400 to ones it dislikes (such as the
// client's upload of no file); the routes parse them, so the type travels under this name.
constexpr const char* kStashedContentType = "X-Lirra-Multipart-Content-Type";

struct CompiledRoute {
    Route route;
    std::regex pattern;
};

}  // namespace

struct HttpServer::Impl {
    httplib::Server server;
    std::vector<CompiledRoute> routes;
    std::optional<RequestGuard> guard;

    const CompiledRoute* find(const std::string& method, const std::string& path) const {
        for (const auto& r : routes) {
            if ((r.route.method == method || (method == "HEAD" && r.route.method == "GET")) &&
                std::regex_match(path, r.pattern)) {
                return &r;
            }
        }
        return nullptr;
    }

    static void fill(httplib::Response& res, const HttpResponse& response) {
        res.status = response.status;
        for (const auto& [name, value] : response.headers) {
            // No other origin may read an answer, whatever a handler sets.
            if (asciiLower(name).rfind("access-control-", 0) == 0) continue;
            res.set_header(name.c_str(), value);
        }
        res.set_header("X-Content-Type-Options", "nosniff");
        if (!response.body.empty() || response.status != 302) {
            res.set_content(response.body, response.contentType.c_str());
        }
    }

    // Bodies are read here rather than by httplib: past the route's limit the rest is read and
    // dropped, so memory stays bounded and the client still gets its 413 on a usable connection.
    // (Bodies past every route's limit are skipped by httplib itself, also with 413.)
    void serveWithBody(const CompiledRoute& route, const httplib::Request& req,
                       httplib::Response& res, const httplib::ContentReader& reader) {
        std::string body;
        bool tooLarge = false;
        const bool complete = reader([&](const char* data, std::size_t length) {
            if (tooLarge || body.size() + length > route.route.maxBodyBytes) {
                tooLarge = true;
                body.clear();
            } else {
                body.append(data, length);
            }
            return true;
        });
        if (!complete) {
            // httplib has set 413 for a body past every limit; anything else is a broken body.
            fill(res, res.status == 413
                          ? HttpResponse::error(413, "the request body is too large")
                          : HttpResponse::error(400, "the request body could not be read"));
            return;
        }
        if (tooLarge) {
            fill(res, HttpResponse::error(413, "the request body is too large"));
            return;
        }
        serve(route, req, res, std::move(body));
    }

    void serve(const CompiledRoute& route, const httplib::Request& req, httplib::Response& res,
               std::string body = {}) {
        HttpRequest request;
        request.method = req.method;
        request.path = req.path;
        for (const auto& [name, value] : req.params) request.query.emplace(name, value);
        for (const auto& [name, value] : req.headers)
            request.headers.emplace(asciiLower(name), value);
        if (req.has_header(kStashedContentType)) {
            request.headers["content-type"] = req.get_header_value(kStashedContentType);
            request.headers.erase(asciiLower(kStashedContentType));
        }
        for (std::size_t i = 1; i < req.matches.size(); ++i)
            request.pathParams.push_back(req.matches[i]);
        request.body = std::move(body);
        request.remoteAddress = req.remote_addr;
        HttpResponse response;
        try {
            response = route.route.handler(request);
        } catch (const std::exception& e) {
            // Handlers don't throw; this only keeps a bug (or exhausted memory) from ending the
            // process.
            std::fprintf(stderr, "lirra-server: %s %s failed: %s\n", req.method.c_str(),
                         req.path.c_str(), e.what());
            response = HttpResponse::error(500, "internal error");
        }
        fill(res, response);
    }

    // Checks that need no body: refused before a large body is read at all.
    httplib::Server::HandlerResponse preRoute(const httplib::Request& constReq,
                                              httplib::Response& res) {
        // The request object is not const where httplib made it; this is the one hook that runs
        // before the body is read.
        auto& req = const_cast<httplib::Request&>(constReq);
        req.headers.erase(kStashedContentType);
        if (guard) {
            RequestHead head{req.method, req.target, {}, {}};
            for (auto [it, end] = req.headers.equal_range("Host"); it != end; ++it)
                head.hosts.push_back(it->second);
            for (auto [it, end] = req.headers.equal_range("Origin"); it != end; ++it)
                head.origins.push_back(it->second);
            if (auto refusal = guard->check(head)) {
                fill(res, *refusal);
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        const std::string encoding = asciiLower(req.get_header_value("Content-Encoding"));
        if (!encoding.empty() && encoding != "identity") {
            // Compressed bodies would be inflated past the size limits.
            fill(res, HttpResponse::error(415, "compressed request bodies are not accepted"));
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string type = req.get_header_value("Content-Type");
        if (asciiLower(type).rfind("multipart/", 0) == 0) {
            req.headers.erase("Content-Type");
            req.headers.emplace(kStashedContentType, type);
        }
        return httplib::Server::HandlerResponse::Unhandled;
    }
};

HttpServer::HttpServer(std::vector<Route> routes, unsigned threadCount) : impl_(new Impl) {
    auto& server = impl_->server;
    std::size_t maxBody = 1;
    for (auto& route : routes) {
        maxBody = std::max(maxBody, route.maxBodyBytes);
        impl_->routes.push_back({route, std::regex(route.pattern)});
    }
    const std::size_t threads = std::max(1u, threadCount);
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_payload_max_length(maxBody);
    server.set_tcp_nodelay(true);
    // httplib's default is SO_REUSEPORT, which lets a second service bind a port already in use
    // and share its requests; SO_REUSEADDR alone still allows a restart over TIME_WAIT.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    server.set_keep_alive_max_count(1000);
    server.set_read_timeout(10, 0);
    server.set_write_timeout(10, 0);
    Impl* impl = impl_.get();
    server.set_pre_routing_handler([impl](const httplib::Request& req, httplib::Response& res) {
        return impl->preRoute(req, res);
    });
    for (const auto& compiled : impl_->routes) {
        const CompiledRoute* route = &compiled;
        if (compiled.route.method == "GET") {
            server.Get(compiled.route.pattern,
                       [impl, route](const httplib::Request& req, httplib::Response& res) {
                           impl->serve(*route, req, res);
                       });
        } else if (compiled.route.method == "DELETE") {
            server.Delete(compiled.route.pattern,
                          [impl, route](const httplib::Request& req, httplib::Response& res) {
                              impl->serve(*route, req, res);
                          });
        } else if (compiled.route.method == "PUT") {
            server.Put(compiled.route.pattern,
                       [impl, route](const httplib::Request& req, httplib::Response& res,
                                     const httplib::ContentReader& reader) {
                           impl->serveWithBody(*route, req, res, reader);
                       });
        } else {
            server.Post(compiled.route.pattern,
                        [impl, route](const httplib::Request& req, httplib::Response& res,
                                      const httplib::ContentReader& reader) {
                            impl->serveWithBody(*route, req, res, reader);
                        });
        }
    }
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            // Only fills in httplib's own refusals (unknown path, oversized body...); a route's
            // error already carries its message.
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            const char* message = res.status == 404   ? "no such resource"
                                  : res.status == 413 ? "the request body is too large"
                                                      : "the request was refused";
            Impl::fill(res, HttpResponse::error(res.status, message));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            Impl::fill(res, HttpResponse::error(500, "internal error"));
        });
}

HttpServer::~HttpServer() { stop(); }

std::string HttpServer::bind(const std::string& host, std::uint16_t port,
                             std::uint16_t& boundPort) {
    if (port == 0) {
        const int bound = impl_->server.bind_to_any_port(host);
        if (bound <= 0) return "cannot listen on " + host;
        boundPort = static_cast<std::uint16_t>(bound);
        return {};
    }
    if (!impl_->server.bind_to_port(host, port)) {
        return "cannot listen on " + host + ":" + std::to_string(port);
    }
    boundPort = port;
    return {};
}

void HttpServer::setGuard(RequestGuard guard) { impl_->guard = std::move(guard); }

void HttpServer::run() { impl_->server.listen_after_bind(); }

bool HttpServer::waitUntilRunning(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!impl_->server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void HttpServer::stop() { impl_->server.stop(); }

}  // namespace lirra::server
