// A fake of the online subtitle database's REST API: a route set on a loopback server, answering
// in the shape of the API's documented examples. The server records every request; tests change
// the fake's data or intercept an endpoint to make it misbehave.
#pragma once

#include <string>
#include <vector>

#include "support/LoopbackHttpServer.h"

namespace lirra::test {

struct FakeSubtitle {
    long fileId = 0;
    std::string language;  // the API's code: "en", "es", "pt-BR"
    bool hashMatch = true;
    bool hearingImpaired = false;
    bool machineTranslated = false;
    bool aiTranslated = false;
    long downloads = 100;
    std::string title = "big buck bunny";  // what a query by title finds
    int season = 0, episode = 0;           // 0: a film
};

// Answers an endpoint instead of the fake's own logic when it returns true.
using Override = LoopbackHttpServer::Intercept;

class FakeApi {
  public:
    // With a certificate and its key the fake speaks HTTPS.
    explicit FakeApi(const TlsFiles& tls = {});

    std::string origin() const { return http.url(""); }  // "http://127.0.0.1:PORT" (or https)
    std::string root() const { return http.url("/api/v1"); }

    // Its data; change before the client asks.
    std::string key = "test-key";
    std::string knownHash = "00a1b2c3d4e5f607";  // the video the database knows by hash
    std::vector<FakeSubtitle> subtitles;
    std::string user = "learner", password = "secret words", token = "tok.en.123";
    std::string loginBaseUrl;  // base_url answered by /login; empty: this fake's host and port
    long remaining = 20;       // downloads left before 406
    std::string resetTimeUtc = "2030-01-02T00:00:00.000Z";  // when the quota renews

    // path: "/subtitles", "/download", "/login" (under the root) or "/files/ID.srt".
    void overrideEndpoint(const std::string& path, Override handler) {
        http.intercept(onServer(path), std::move(handler));
    }
    // The requests for that path, or all of them.
    std::vector<RecordedRequest> seen(const std::string& path = {}) const {
        return path.empty() ? http.requests() : http.requests(onServer(path));
    }
    void forget() { http.clearRequests(); }

    LoopbackHttpServer http;

  private:
    static std::string onServer(const std::string& path) {
        return path.rfind("/files/", 0) == 0 ? path : "/api/v1" + path;
    }
    void search(const httplib::Request& request, httplib::Response& response);
    void download(const httplib::Request& request, httplib::Response& response);
    void login(const httplib::Request& request, httplib::Response& response);
};

// An SRT file the fake serves for a file id.
std::string fakeSubtitleText(long fileId);

}  // namespace lirra::test
