// SPDX-License-Identifier: GPL-3.0-or-later
// Foreign hosts and origins as raw requests: each served as the service's own or refused, never
// under another name, and no answer readable by another origin.
#include "RawClient.h"
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

struct RawAnswer {
    int status = 0;
    std::string head, body;  // the head: the status line and headers, in lower case
};

// Sends `request` as it stands on a new connection and reads until the server closes it.
RawAnswer sendRaw(std::uint16_t port, const std::string& request) {
    const int fd = connectLoopback(port);
    const std::string bytes =
        sendAll(fd, request) ? receive(fd, std::chrono::seconds(5)) : std::string();
    close(fd);
    RawAnswer answer;
    const auto end = bytes.find("\r\n\r\n");
    for (char c : bytes.substr(0, end)) answer.head += char(std::tolower((unsigned char)c));
    if (end != std::string::npos) answer.body = bytes.substr(end + 4);
    if (bytes.rfind("HTTP/1.", 0) == 0 && bytes.size() > 12)
        answer.status = std::stoi(bytes.substr(9, 3));
    return answer;
}

// How the service under test was started: on 127.0.0.1 as the app runs it; on 0.0.0.0 with
// --host lirra.example --host alias.test:8080; on 0.0.0.0 with no --host (any name); on
// 127.0.0.1 with a secret, as the app's embedded service.
enum Mode { kLoopback, kNamed, kOpen, kSecret };

struct Case {
    Mode mode;
    // "$P" stands for the service's port, "$Q" for another one, "$S" for the secret, "$T" for
    // it without its first character
    std::string request;
    int status;
};

std::string get(const std::string& target, const std::string& headers) {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n";
}
std::string home(const std::string& host) { return get("/Player/Home", "Host: " + host + "\r\n"); }
std::string lines(const std::string& text) { return text.empty() ? "" : text + "\r\n"; }
// The home page under its own Host with these header lines.
std::string keyed(const std::string& text) {
    return get("/Player/Home", "Host: 127.0.0.1:$P\r\n" + lines(text));
}
std::string api(const std::string& host, const std::string& origin) {
    return get("/api/videos/recent", "Host: " + host + "\r\nOrigin: " + origin + "\r\n");
}
std::string lookupFrom(const std::string& text) {
    return "POST /Player/GetSubtitlesToDownload HTTP/1.1\r\nHost: 127.0.0.1:$P\r\n" + lines(text) +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 39\r\n"
           "Connection: close\r\n\r\nfileSize=1&movieHash=abc&fileName=A.mkv";
}

const std::vector<Case> kCases = {
    {kLoopback, get("/Player/Home", "Host: evil.example\r\nHost: 127.0.0.1:$P\r\n"), 400},
    {kLoopback, get("/Player/Home", "Host: 127.0.0.1:$P\r\nHost: evil.example\r\n"), 400},
    {kLoopback, "GET /Player/Home HTTP/1.0\r\n\r\n", 400},
    // An absolute target names the host itself, whatever the Host header says; it is not routed.
    {kLoopback, get("http://evil.example:$P/Player/Home", "Host: 127.0.0.1:$P\r\n"), 421},
    {kLoopback, get("http://127.0.0.1:$P/Player/Home", "Host: evil.example\r\n"), 404},
    {kLoopback, api("127.0.0.1:$P", "http://evil.example"), 403},
    {kLoopback, api("localhost:$P", "http://localhost:$P"), 200},
    {kLoopback,
     "POST /Subtitles/UploadSubtitles HTTP/1.1\r\nHost: 127.0.0.1:$P\r\nOrigin: null\r\n"
     "Content-Type: multipart/form-data; boundary=B\r\nContent-Length: 8\r\n"
     "Connection: close\r\n\r\n--B--\r\n\r\n",
     403},
    {kLoopback,
     "OPTIONS /api/videos/recent HTTP/1.1\r\nHost: 127.0.0.1:$P\r\nOrigin: http://evil.example\r\n"
     "Access-Control-Request-Method: POST\r\nConnection: close\r\n\r\n",
     405},  // no preflight is answered
    {kNamed, api("lirra.example:$P", "http://lirra.example:$P"), 200},
    {kNamed, api("lirra.example:$P", "http://alias.test:8080"), 403},
    // Elsewhere with no --host: any name, but still only its own origin.
    {kOpen, home("shared.lan:$P"), 200},
    {kOpen, "GET /Player/Home HTTP/1.0\r\n\r\n", 200},
    {kOpen, api("shared.lan:$P", "http://shared.lan:$P"), 200},
    {kOpen, api("shared.lan:$P", "http://evil.example"), 403},
    {kOpen, "GET /api/videos/recent HTTP/1.0\r\nOrigin: http://127.0.0.1:$P\r\n\r\n", 200},
    {kSecret, get("/" + std::string(9000, 'a'), "Host: evil.example\r\n"), 401},
    {kSecret, lookupFrom("Cookie: lirra_key=$S"), 200},
    {kSecret, lookupFrom("Origin: http://evil.example"), 401},
};

using RequestGuardTest = ServerFixture;

TEST_F(RequestGuardTest, ForeignHostsAndOriginsAreRefusedBeforeAnyHandler) {
    const std::string secret = makeSecret();
    EXPECT_EQ(secret.size(), 64u);
    EXPECT_NE(secret, makeSecret());
    const auto start = [&](std::vector<std::string> hostNames, const std::string& key) {
        ServerOptions options;
        options.listenAddress = key.empty() ? "0.0.0.0" : "127.0.0.1";
        options.secret = key;
        options.dataDirectory = root_ + "/data-" + std::to_string(hostNames.size() + key.size());
        options.hostNames = std::move(hostNames);
        auto server = std::make_unique<Server>(options);
        EXPECT_EQ(server->start(), "");
        return server;
    };
    const auto named = start({"lirra.example", "alias.test:8080"}, ""), open = start({}, ""),
               keeper = start({}, secret);
    const Server* const servers[] = {server_.get(), named.get(), open.get(), keeper.get()};
    const auto expectAnswer = [&](Mode mode, std::string request, int status) {
        const std::uint16_t port = servers[mode]->port();
        for (const auto& [mark, value] :
             {std::pair<std::string, std::string>{"$P", std::to_string(port)},
              {"$Q", std::to_string(port == 65535 ? 1 : port + 1)},
              {"$S", secret},
              {"$T", secret.substr(1)}})
            for (auto at = request.find(mark); at != std::string::npos; at = request.find(mark))
                request.replace(at, mark.size(), value);
        const RawAnswer answer = sendRaw(port, request);
        EXPECT_EQ(answer.status, status) << request << "\n" << answer.head << "\n" << answer.body;
        EXPECT_EQ(answer.head.find("access-control-"), std::string::npos) << request;
        // A page is never framed, runs only the service's scripts and leaks no referrer.
        const bool page = status == 200 && request.rfind("GET /Player/Home", 0) == 0;
        for (const char* line :
             {"\r\ncontent-security-policy: script-src 'self'; frame-ancestors 'none'\r\n",
              "\r\nx-frame-options: deny\r\n", "\r\nreferrer-policy: no-referrer\r\n"}) {
            EXPECT_EQ((answer.head + "\r\n").find(line) != std::string::npos, page) << request;
        }
        if (status >= 400 && status != 404) {
            EXPECT_NE(nlohmann::json::parse(answer.body, nullptr, false).value("error", ""), "")
                << request;
        }
    };
    for (const auto& c : kCases) expectAnswer(c.mode, c.request, c.status);
    // Rows of "STATUS TEXT", the text a request's Host or its header lines.
    // On loopback the service's own three names with its port, in any case, and nothing else
    // (bare "localhost" is port 80).
    for (const std::string row :
         {"200 127.0.0.1:$P", "200 localhost:$P", "200 [::1]:$P", "200 LocalHost:$P",
          "421 evil.example:$P", "421 127.0.0.1.evil.example:$P", "421 127.0.0.1:$Q",
          "421 localhost", "421 localhost.:$P", "421 [0:0:0:0:0:0:0:1]:$P",
          "421 [::ffff:127.0.0.1]:$P", "421 me@127.0.0.1:$P", "400 "})
        expectAnswer(kLoopback, home(row.substr(4)), std::stoi(row));
    // Origins: none (the app, curl) or the service's own as the Host names it.
    for (const std::string row :
         {"200 ", "200 Origin: http://127.0.0.1:$P", "403 Origin: http://evil.example",
          "403 Origin: null", "403 Origin: http://127.0.0.1:$Q", "403 Origin: https://127.0.0.1:$P",
          "403 Origin: http://localhost:$P",
          "400 Origin: http://127.0.0.1:$P\r\nOrigin: http://evil.example"})
        expectAnswer(kLoopback, lookupFrom(row.substr(4)), std::stoi(row));
    // With --host: those names (bare from a proxy, or with the port given), and the printed
    // address.
    for (const std::string row :
         {"200 lirra.example:$P", "200 LIRRA.example", "200 alias.test:8080", "421 alias.test:$P",
          "200 127.0.0.1:$P", "421 evil.example:$P"})
        expectAnswer(kNamed, home(row.substr(4)), std::stoi(row));
    // With a secret: the cookie or the header carries it exactly, else 401 before anything.
    for (const std::string row :
         {"401 ", "200 Cookie: lirra_key=$S", "200 Cookie: a=1; lirra_key=$S; b",
          "200 X-Lirra-Key: $S", "200 x-lirra-key: x\r\nX-Lirra-Key: $S",
          "401 Cookie: lirra_key=$Sx", "401 Cookie: lirra_key=$T", "401 Cookie: xlirra_key=$S",
          "401 Cookie: lirra_key=", "401 X-Lirra-Key: $S $S", "401 Lirra-Key: $S"})
        expectAnswer(kSecret, keyed(row.substr(4)), std::stoi(row));
    // Nothing a refused request carried was recorded: the only video is the one looked up
    // by the accepted requests.
    EXPECT_EQ(answer(client().Get("/api/videos/recent"))["videos"].size(), 1u);
}

}  // namespace
}  // namespace lirra::server::test
