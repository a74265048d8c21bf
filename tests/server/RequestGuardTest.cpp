// Foreign hosts and origins, sent as raw requests over loopback: each request is served as the
// service's own or refused, never served under another name, and no answer lets another origin
// read it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

struct RawAnswer {
    int status = 0;
    std::string head;  // the status line and headers
    std::string body;
};

// Sends `request` as it stands on a new connection and reads until the server closes it.
RawAnswer sendRaw(std::uint16_t port, const std::string& request) {
    RawAnswer answer;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return answer;
    }
    EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string bytes;
    char buffer[8192];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) bytes.append(buffer, n);
    close(fd);
    const auto end = bytes.find("\r\n\r\n");
    answer.head = bytes.substr(0, end);
    if (end != std::string::npos) answer.body = bytes.substr(end + 4);
    if (bytes.rfind("HTTP/1.", 0) == 0 && bytes.size() > 12)
        answer.status = std::stoi(bytes.substr(9, 3));
    return answer;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// How the service under test was started.
enum class Mode {
    Loopback,  // 127.0.0.1, as the app runs it
    Named,     // 0.0.0.0 with --host lirra.example --host alias.test:8080
    Open,      // 0.0.0.0 with no --host: any name
};
constexpr Mode kLoopback = Mode::Loopback, kNamed = Mode::Named, kOpen = Mode::Open;

struct Case {
    Mode mode;
    std::string what;
    std::string request;  // "$P" stands for the service's port, "$Q" for another one
    int status;
};

const std::string kLookupBody = "fileSize=1&movieHash=abc&fileName=A.mkv";

std::string get(const std::string& target, const std::string& headers) {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n";
}

// A page asked for by name: `host` is the Host header's value.
std::string home(const std::string& host) { return get("/Player/Home", "Host: " + host + "\r\n"); }

std::string lookupPost(const std::string& headers) {
    return "POST /Player/GetSubtitlesToDownload HTTP/1.1\r\nHost: 127.0.0.1:$P\r\n" + headers +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(kLookupBody.size()) + "\r\nConnection: close\r\n\r\n" + kLookupBody;
}

const std::vector<Case> kCases = {
    // Hosts on loopback: the service's own three names with its port, nothing else.
    {kLoopback, "own address", home("127.0.0.1:$P"), 200},
    {kLoopback, "localhost", home("localhost:$P"), 200},
    {kLoopback, "IPv6 loopback", home("[::1]:$P"), 200},
    {kLoopback, "upper case is the same name", home("LocalHost:$P"), 200},
    {kLoopback, "another name", home("evil.example:$P"), 421},
    {kLoopback, "a name ending in loopback's", home("127.0.0.1.evil.example:$P"), 421},
    {kLoopback, "another port", home("127.0.0.1:$Q"), 421},
    {kLoopback, "no port (port 80)", home("localhost"), 421},
    {kLoopback, "trailing dot", home("localhost.:$P"), 421},
    {kLoopback, "IPv6 written out", home("[0:0:0:0:0:0:0:1]:$P"), 421},
    {kLoopback, "IPv4-mapped IPv6", home("[::ffff:127.0.0.1]:$P"), 421},
    {kLoopback, "user info", home("me@127.0.0.1:$P"), 421},
    {kLoopback, "empty Host (no Host)", home(""), 400},
    {kLoopback, "two Host headers, foreign first",
     get("/Player/Home", "Host: evil.example\r\nHost: 127.0.0.1:$P\r\n"), 400},
    {kLoopback, "two Host headers, foreign second",
     get("/Player/Home", "Host: 127.0.0.1:$P\r\nHost: evil.example\r\n"), 400},
    {kLoopback, "no Host, HTTP/1.0", "GET /Player/Home HTTP/1.0\r\n\r\n", 400},
    // An absolute request target names the host itself; the Host header does not override it.
    {kLoopback, "absolute URL naming another host",
     get("http://evil.example:$P/Player/Home", "Host: 127.0.0.1:$P\r\n"), 421},
    {kLoopback, "absolute URL naming the service (not routed, not served elsewhere)",
     get("http://127.0.0.1:$P/Player/Home", "Host: evil.example\r\n"), 404},
    // Origins: only the service's own, and only as the Host names it.
    {kLoopback, "lookup without Origin (the app, curl)", lookupPost(""), 200},
    {kLoopback, "lookup from the service's own page", lookupPost("Origin: http://127.0.0.1:$P\r\n"),
     200},
    {kLoopback, "lookup from another web page", lookupPost("Origin: http://evil.example\r\n"), 403},
    {kLoopback, "lookup from an opaque origin", lookupPost("Origin: null\r\n"), 403},
    {kLoopback, "origin differing by port", lookupPost("Origin: http://127.0.0.1:$Q\r\n"), 403},
    {kLoopback, "origin differing by scheme", lookupPost("Origin: https://127.0.0.1:$P\r\n"), 403},
    {kLoopback, "origin naming loopback otherwise", lookupPost("Origin: http://localhost:$P\r\n"),
     403},
    {kLoopback, "two Origin headers",
     lookupPost("Origin: http://127.0.0.1:$P\r\nOrigin: http://evil.example\r\n"), 400},
    {kLoopback, "JSON API read from another web page",
     get("/api/videos/recent", "Host: 127.0.0.1:$P\r\nOrigin: http://evil.example\r\n"), 403},
    {kLoopback, "JSON API read from the service's own page",
     get("/api/videos/recent", "Host: localhost:$P\r\nOrigin: http://localhost:$P\r\n"), 200},
    {kLoopback, "upload from another web page",
     "POST /Subtitles/UploadSubtitles HTTP/1.1\r\nHost: 127.0.0.1:$P\r\nOrigin: null\r\n"
     "Content-Type: multipart/form-data; boundary=B\r\nContent-Length: 8\r\n"
     "Connection: close\r\n\r\n--B--\r\n\r\n",
     403},
    {kLoopback, "preflight",
     "OPTIONS /api/videos/recent HTTP/1.1\r\nHost: 127.0.0.1:$P\r\nOrigin: http://evil.example\r\n"
     "Access-Control-Request-Method: POST\r\nConnection: close\r\n\r\n",
     405},
    // Standalone with --host: those names, and the address it prints.
    {kNamed, "a --host name", home("lirra.example:$P"), 200},
    {kNamed, "a --host name from a proxy", home("LIRRA.example"), 200},
    {kNamed, "a --host name with its port", home("alias.test:8080"), 200},
    {kNamed, "a --host name with another port", home("alias.test:$P"), 421},
    {kNamed, "the printed address", home("127.0.0.1:$P"), 200},
    {kNamed, "another name", home("evil.example:$P"), 421},
    {kNamed, "own page under a --host name",
     get("/api/videos/recent", "Host: lirra.example:$P\r\nOrigin: http://lirra.example:$P\r\n"),
     200},
    {kNamed, "origin of another --host name",
     get("/api/videos/recent", "Host: lirra.example:$P\r\nOrigin: http://alias.test:8080\r\n"),
     403},
    // Standalone elsewhere with no --host: any name, but still only its own origin.
    {kOpen, "any name", home("shared.lan:$P"), 200},
    {kOpen, "no Host", "GET /Player/Home HTTP/1.0\r\n\r\n", 200},
    {kOpen, "own origin under that name",
     get("/api/videos/recent", "Host: shared.lan:$P\r\nOrigin: http://shared.lan:$P\r\n"), 200},
    {kOpen, "another origin",
     get("/api/videos/recent", "Host: shared.lan:$P\r\nOrigin: http://evil.example\r\n"), 403},
    {kOpen, "no Host, the printed origin",
     "GET /api/videos/recent HTTP/1.0\r\nOrigin: http://127.0.0.1:$P\r\n\r\n", 200},
};

class RequestGuardTest : public ServerFixture {
  protected:
    std::unique_ptr<Server> startStandalone(std::vector<std::string> hostNames) {
        ServerOptions options;
        options.listenAddress = "0.0.0.0";
        options.dataDirectory = root_ + "/data-" + std::to_string(hostNames.size());
        options.hostNames = std::move(hostNames);
        auto server = std::make_unique<Server>(options);
        EXPECT_EQ(server->start(), "");
        return server;
    }
};

TEST_F(RequestGuardTest, ForeignHostsAndOriginsAreRefusedBeforeAnyHandler) {
    auto named = startStandalone({"lirra.example", "alias.test:8080"});
    auto open = startStandalone({});
    for (const auto& c : kCases) {
        const std::uint16_t port = c.mode == Mode::Loopback ? server_->port()
                                   : c.mode == Mode::Named  ? named->port()
                                                            : open->port();
        std::string request = c.request;
        for (const auto& [mark, value] :
             {std::pair<std::string, int>{"$P", port}, {"$Q", port == 65535 ? 1 : port + 1}}) {
            for (auto at = request.find(mark); at != std::string::npos; at = request.find(mark)) {
                request.replace(at, mark.size(), std::to_string(value));
            }
        }
        const RawAnswer answer = sendRaw(port, request);
        EXPECT_EQ(answer.status, c.status) << c.what << "\n" << answer.head << "\n" << answer.body;
        EXPECT_EQ(lower(answer.head).find("access-control-"), std::string::npos) << c.what;
        if (c.status >= 400 && c.status != 404) {
            EXPECT_NE(nlohmann::json::parse(answer.body, nullptr, false).value("error", ""), "")
                << c.what;
        }
    }
    // Nothing a refused request carried was recorded: the only video is the one looked up
    // by the accepted requests.
    auto res = client().Get("/api/videos/recent");
    ASSERT_TRUE(res);
    EXPECT_EQ(nlohmann::json::parse(res->body)["videos"].size(), 1u);
}

}  // namespace
}  // namespace lirra::server::test
